#include "core/AutoLogonTrd.h"

#include <exception>

#include "base/StopWait.h"
#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"

namespace vorta {

TAutoLogonTrd::TAutoLogonTrd(Hooks hooks, std::chrono::milliseconds period)
    : thread_([hooks = std::move(hooks), period](std::stop_token stop) {
          platform::NameThisThread("vorta-autologon");
          while (!stop.stop_requested()) {
              try {
                  if (hooks.shouldTry() && hooks.tryLogon(stop) && !stop.stop_requested())
                      hooks.onSuccess();
              } catch (const std::exception& e) {
                  Debug(std::string("automatic logon: ") + e.what());
                  // Auto logon failures are silent; the next round tries again.
              }
              SleepUnlessStopped(stop, period);
          }
      }) {}

void TAutoLogonTrd::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace vorta
