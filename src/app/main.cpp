// Hollin's entry point. The special roles are chosen here from their switches before anything
// else starts; the ordinary role follows.
#include "app/Application.h"
#include "app/response/ProbeWorker.h"

int main(int argc, char** argv) {
  // The probe worker is a role of its own: nothing of the ordinary start-up runs in it.
  if (hollin::isProbeWorker(argc, argv)) hollin::runProbeWorker();
  return hollin::runHollin(argc, argv);
}
