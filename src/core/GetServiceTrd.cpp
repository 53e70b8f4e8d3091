#include "core/GetServiceTrd.h"

#include "base/StopWait.h"
#include "platform/ThreadName.h"
#include "protocol/ResultCodes.h"

namespace vorta {

TGetServiceTrd::TGetServiceTrd(std::string serviceUrl, std::string userName, std::string password,
                               LogonSession& session, Post post, std::chrono::milliseconds delay)
    : thread_([=, this, &session, post = std::move(post)](std::stop_token stop) {
          platform::NameThisThread("vorta-domains");
          if (SleepUnlessStopped(stop, delay)) {
              const auto outcome =
                  RequestServiceList(serviceUrl, userName, password, session, stop);
              // The error text travels as a copy: the shared last error may change meanwhile.
              if (!stop.stop_requested() && outcome == ServiceListOutcome::ServiceError)
                  post(LastErrorText(), true);
              else if (!stop.stop_requested() && outcome == ServiceListOutcome::Ok)
                  post({}, false);
          }
          finished_ = true;
      }) {}

}  // namespace vorta
