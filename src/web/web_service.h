#pragma once

#include "web/serve_options.h"

namespace velmora::web {

// Serves the roots until SIGTERM or SIGINT: a cleaning under way stops at its next removal and
// is recorded, then the server closes. The exit status: 0 after a stop by signal, 1 when the
// server could not start (the reason on stderr).
[[nodiscard]] int serve(const ServeOptions& options);

} // namespace velmora::web
