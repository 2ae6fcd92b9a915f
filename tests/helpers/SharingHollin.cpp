// The real program built as the sharing profile, so tests can run several accounts' instances
// that share their reports; everything but the profile is the ordinary entry point's.
#include "app/Application.h"
#include "app/response/ProbeWorker.h"
#include "core/scope/AccountScope.h"

int main(int argc, char** argv) {
  if (hollin::isProbeWorker(argc, argv)) hollin::runProbeWorker();
  hollin::AccountScope::setProcess(hollin::AccountScope::m2Recording);
  return hollin::runHollin(argc, argv);
}
