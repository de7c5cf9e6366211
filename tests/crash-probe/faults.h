// Faults for the crash-handling tests, written so that the compiler can neither see through
// them (noipa) nor fold them away (volatile). In a sanitized build the processor must trap on
// them, not the sanitizer report them.
#pragma once

__attribute__((noipa, no_sanitize("null"))) inline void WriteThroughNull() {
    volatile int* volatile target = nullptr;
    *target = 1;
}

// Counts destructions, so that a test sees a translated fault unwind the faulting frame.
inline int g_destroyed = 0;

struct CountsDestruction {
    ~CountsDestruction() { ++g_destroyed; }
};

__attribute__((noipa, no_sanitize("null"))) inline void WriteThroughNullWithCleanup() {
    CountsDestruction guard;
    volatile int* volatile target = nullptr;
    *target = 1;
}

__attribute__((noipa, no_sanitize("integer-divide-by-zero"))) inline int DivideByZero() {
    volatile int numerator = 1;
    volatile int divisor = 0;
    return numerator / divisor;
}

// Not in an anonymous namespace: a closed class hierarchy would let the compiler call
// Square::Area directly instead of the pure Shape::Area.
class Shape {
  public:
    Shape();
    virtual ~Shape() = default;
    virtual int Area() const = 0;
};

__attribute__((noipa)) inline int AreaOf(const Shape* shape) {
    return shape->Area();
}

// While Shape is being constructed the object is a Shape, whose Area is pure.
inline Shape::Shape() {
    const Shape* volatile self = this;
    AreaOf(self);
}

class Square : public Shape {
  public:
    int Area() const override { return 1; }
};

// Never set: keeps the compiler from calling the recursion below infinite.
inline volatile bool g_stopRecursion = false;

// Overflows the stack; the crash handler must run on its alternate stack.
__attribute__((noipa)) inline int Recurse(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (g_stopRecursion)
        return frame[0];
    return Recurse(depth + 1) + frame[0];
}
