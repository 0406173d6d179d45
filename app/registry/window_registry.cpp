#include "app/registry/window_registry.h"

WindowRegistry& OpenWindows() {
  // Made on first use, before any window that enters itself, so it outlives them all.
  static WindowRegistry registry;
  return registry;
}
