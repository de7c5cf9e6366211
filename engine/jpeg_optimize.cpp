#include "engine/jpeg_optimize.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

// Coefficients of an image bigger than this are not held in memory (two bytes each).
constexpr double kMostSamples = 64.0 * 1024 * 1024;

// libjpeg ends the process on an error unless its error handler jumps out; a warning means
// damaged data, which a decoder fills in its own way, so that file is left as it is.
struct Errors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    bool warned;
};

void JumpOut(j_common_ptr info) {
    std::longjmp(reinterpret_cast<Errors*>(info->err)->jump, 1);
}

void NoteWarning(j_common_ptr info, int level) {
    if (level < 0)
        reinterpret_cast<Errors*>(info->err)->warned = true;
}

void NoDestination(j_compress_ptr) {}

// The output goes into a buffer the size of the input: a result that does not fit in it is no
// smaller, and the coding stops there.
boolean BufferFull(j_compress_ptr info) {
    info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    return FALSE;
}

// Plain C data only between setjmp and the jump: nothing here has a destructor to skip.
// Returns how many bytes of out were written, 0 when the image was left as it is.
size_t Transcode(const unsigned char* in, size_t size, unsigned char* out) {
    jpeg_decompress_struct source;
    jpeg_compress_struct target;
    jpeg_destination_mgr destination;
    Errors errors;
    source.err = jpeg_std_error(&errors.manager);
    target.err = &errors.manager;
    errors.manager.error_exit = JumpOut;
    errors.manager.emit_message = NoteWarning;
    errors.warned = false;
    jpeg_create_decompress(&source);
    jpeg_create_compress(&target);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&target);
        jpeg_destroy_decompress(&source);
        return 0;
    }
    jpeg_mem_src(&source, in, static_cast<unsigned long>(size));
    jpeg_read_header(&source, TRUE);
    const double samples =
        static_cast<double>(source.image_width) * source.image_height * source.num_components;
    size_t written = 0;
    // Three components without Adobe's marker are YCbCr to a PDF reader whatever libjpeg takes
    // them for; re-coded as RGB they would gain a marker that changes their colours.
    const bool colours = source.num_components == 1 ||
                         (source.num_components == 3 &&
                          (source.jpeg_color_space == JCS_YCbCr || source.saw_Adobe_marker));
    if (colours && samples <= kMostSamples) {
        jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&source);
        jpeg_copy_critical_parameters(&source, &target);
        target.optimize_coding = TRUE;
        destination.next_output_byte = out;
        destination.free_in_buffer = size;
        destination.init_destination = NoDestination;
        destination.empty_output_buffer = BufferFull;
        destination.term_destination = NoDestination;
        target.dest = &destination;
        jpeg_write_coefficients(&target, coefficients);
        jpeg_finish_compress(&target);
        jpeg_finish_decompress(&source);
        written = errors.warned ? 0 : size - destination.free_in_buffer;
    }
    jpeg_destroy_compress(&target);
    jpeg_destroy_decompress(&source);
    return written;
}

}  // namespace

std::optional<std::string> OptimizeJpeg(const std::string& jpeg) {
    std::string out(jpeg.size(), '\0');
    const size_t written = Transcode(reinterpret_cast<const unsigned char*>(jpeg.data()),
                                     jpeg.size(), reinterpret_cast<unsigned char*>(out.data()));
    if (written == 0 || written >= jpeg.size())
        return std::nullopt;
    out.resize(written);
    return out;
}
