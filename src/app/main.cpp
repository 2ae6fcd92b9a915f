// Hollin's entry point. The special roles are chosen here from their switches before anything
// else starts; the ordinary role follows.
#include "app/Application.h"

int main(int argc, char** argv) { return hollin::runHollin(argc, argv); }
