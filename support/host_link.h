// HostLink: how the component reaches the running spreadsheet application.
// A global object, created on first use and kept for the life of the process.
#pragma once

#include "host/application.h"

namespace nml::support {

class HostLink {
 public:
  /// The running application: the one attached, or, when none was attached, a
  /// new one created on first use.
  host::ApplicationRef Application();
  /// Makes app the running application (the command line and tests do this).
  void Attach(host::ApplicationRef app);
  /// Forgets the application, so the next call creates a fresh one.
  void Detach();

 private:
  host::ApplicationRef app_;
};

/// The global HostLink.
HostLink& TheHostLink();

}  // namespace nml::support
