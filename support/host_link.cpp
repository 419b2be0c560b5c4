#include "support/host_link.h"

namespace nml::support {

host::ApplicationRef HostLink::Application() {
  if (!app_) app_ = host::Application::Create();
  return app_;
}

void HostLink::Attach(host::ApplicationRef app) {
  app_ = std::move(app);
  lastReport_.reset();
}

void HostLink::Detach() {
  app_.reset();
  lastReport_.reset();
}

HostLink& TheHostLink() {
  static HostLink link;
  return link;
}

}  // namespace nml::support
