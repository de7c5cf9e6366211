// One main window per user: the first start listens on a local socket named after its main
// window's class, and a later start that reaches it asks it to come forward instead of
// starting again.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform {

// True when a running instance listens for this window class; it has been asked to show itself.
bool ActivateRunningInstance(const std::wstring& windowClass);

// Claims the name for this process for as long as it lives; every later start that asks calls
// onActivate on the listener's own thread.
class InstanceListener {
  public:
    InstanceListener(const std::wstring& windowClass, std::function<void()> onActivate);
    ~InstanceListener();
    InstanceListener(const InstanceListener&) = delete;
    InstanceListener& operator=(const InstanceListener&) = delete;
    bool IsListening() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
