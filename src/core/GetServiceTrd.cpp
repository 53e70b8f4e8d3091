#include "core/GetServiceTrd.h"

#include "base/StopWait.h"
#include "platform/ThreadName.h"
#include "protocol/ResultCodes.h"

namespace vorta {

TGetServiceTrd::TGetServiceTrd(std::string serviceUrl, std::string userName, std::string password,
                               LogonSession& session, std::uint64_t generation, Post post,
                               std::chrono::milliseconds delay)
    : thread_([=, this, &session, post = std::move(post)](std::stop_token stop) {
          platform::NameThisThread("vorta-domains");
          if (SleepUnlessStopped(stop, delay)) {
              const auto outcome =
                  RequestServiceList(serviceUrl, userName, password, session, generation, stop);
              // The error text travels as a copy: the shared last error may change meanwhile.
              // An error for a logon that has ended is nobody's concern any more.
              if (!stop.stop_requested() && outcome == ServiceListOutcome::ServiceError &&
                  session.Generation() == generation)
                  post(LastErrorText(), true);
              else if (!stop.stop_requested() && outcome == ServiceListOutcome::Ok)
                  post({}, false);
          }
          finished_ = true;
      }) {}

}  // namespace vorta
