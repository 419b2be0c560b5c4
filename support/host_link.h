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

  /// Where the last report was pasted (null before the first one, and after
  /// Detach): what a program reads back once Results has run.
  const host::RangeRef& LastReport() const { return lastReport_; }
  void NoteReport(host::RangeRef report) { lastReport_ = std::move(report); }

 private:
  host::ApplicationRef app_;
  host::RangeRef lastReport_;
};

/// The global HostLink.
HostLink& TheHostLink();

}  // namespace nml::support
