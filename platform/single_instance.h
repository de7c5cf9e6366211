// One main window per user. The first start holds a local socket in a folder that only its user
// can enter ($XDG_RUNTIME_DIR, or a private folder it makes under the temporary folder); a later
// start of the same user asks it to show its window, hands it the files it was started with,
// and ends there. Both ends check that the other runs as the same user, so another user can
// neither keep the program from starting nor raise its window.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class SingleInstance {
  public:
    using Files = std::vector<std::wstring>;

    // Asks the instance that holds the channel to show its window and take files (full paths,
    // as this process names them). When none can (there is none, it is closing, it does not
    // answer, or it is not this user's), this process holds the channel from now on and
    // answers every later start of its user with onActivate and that start's files, run on a
    // thread of the channel's own: true when a window will show (and take the files).
    SingleInstance(const std::wstring& windowClass, const Files& files,
                   std::function<bool(const Files&)> onActivate);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when another instance showed its window: this start ends here.
    bool ShownElsewhere() const;
    // True while this process answers later starts.
    bool IsHolding() const;
    // Stops answering: later starts find nobody and start normally. Returns at once, also while
    // a request is being answered, so a closing window may call it from its own thread.
    void Close();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
