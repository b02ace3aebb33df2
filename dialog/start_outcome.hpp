#pragma once
// What a Start ends with: the report's upload and the run's count, and the message and heading
// the result panel shows for them.
#include <functional>
#include <ostream>
#include <string>

struct StartOutcome {
    std::string message;
    bool ok = false; // the success heading
};

// Posts the report (`post` returns the server's message) and counts the run (`count`) once the
// server took or already had the report. The server's refusal shows its message; anything else
// that fails the upload, a program fault included, shows the network-failure text (with the
// error when `showDetail`) and goes to `log`. A count that fails after the report was recorded
// goes to `fault` alone, once, as "run count: <error>": the server's message and the success
// heading stand.
StartOutcome SubmitReport(const std::function<std::string()>& post,
                          const std::function<void()>& count, bool showDetail, std::ostream& log,
                          const std::function<void(const std::string&)>& fault);
