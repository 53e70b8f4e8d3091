#include "core/AutoLogonTrd.h"

#include <exception>

#include "base/StopWait.h"
#include "core/RetryPlan.h"
#include "platform/ThreadName.h"
#include "protocol/DebugLog.h"

namespace vorta {

TAutoLogonTrd::TAutoLogonTrd(Hooks hooks, std::chrono::milliseconds period)
    : thread_([hooks = std::move(hooks), period](std::stop_token stop) {
          platform::NameThisThread("vorta-autologon");
          // The service may be down for all its clients at once: failures in a row make the
          // retries wait longer, up to kCeiling, and each wait is jittered.
          RetryPlan plan({.base = period, .ceiling = period * (kCeiling / kPeriod)});
          while (!stop.stop_requested()) {
              std::chrono::milliseconds wait{};
              try {
                  if (!hooks.shouldTry()) {
                      wait = plan.Idle();
                  } else if (hooks.tryLogon(stop)) {
                      wait = plan.After(true);
                      if (!stop.stop_requested()) hooks.onSuccess();
                  } else {
                      wait = plan.After(false);
                  }
              } catch (const std::exception& e) {
                  Debug(std::string("automatic logon: ") + e.what());
                  // Auto logon failures are silent; the next round tries again.
                  wait = plan.After(false);
              }
              SleepUnlessStopped(stop, wait);
          }
      }) {}

void TAutoLogonTrd::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace vorta
