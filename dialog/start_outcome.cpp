#include "dialog/start_outcome.hpp"

#include "report/report_http.hpp"

#include <exception>

namespace {

std::string NetworkFailure(const std::exception& failure, bool showDetail, std::ostream& log)
{
    log << failure.what() << std::endl;
    return showDetail ? std::string("网络错误:") + failure.what() : "数据提交失败，请稍后再尝试。";
}

} // namespace

StartOutcome SubmitReport(const std::function<std::string()>& post,
                          const std::function<void()>& count, bool showDetail, std::ostream& log,
                          const std::function<void(const std::string&)>& fault)
{
    StartOutcome outcome;
    try {
        outcome.message = post();
        outcome.ok = true;
    } catch (const ReplicatedCommit& repeated) {
        outcome.message = repeated.what();
        try {
            count();
        } catch (const std::exception& failure) {
            outcome.message = NetworkFailure(failure, showDetail, log);
        }
        return outcome;
    } catch (const ServerRefusal& refused) {
        outcome.message = refused.what();
        return outcome;
    } catch (const std::exception& failure) {
        outcome.message = NetworkFailure(failure, showDetail, log);
        return outcome;
    }
    try {
        count();
    } catch (const std::exception& failure) {
        fault(std::string("run count: ") + failure.what());
    }
    return outcome;
}
