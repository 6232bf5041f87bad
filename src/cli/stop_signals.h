#pragma once

#include "platform/cancellation.h"

namespace velmora::cli {

// While alive, SIGINT and SIGTERM request `token` instead of ending the process, so a run can
// stop between removals and still report what it did. A second such signal ends the process
// the usual way (the handler resets itself), for a run that does not stop quickly enough.
class StopSignals {
  public:
    explicit StopSignals(CancellationToken& token);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The signal that requested the stop, 0 when none came.
    [[nodiscard]] int received() const;
};

} // namespace velmora::cli
