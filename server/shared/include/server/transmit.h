// The script transmitter's state machine: one step per call, state in the
// 14-word view of the control block.
#pragma once

#include "macro/abi.h"

enum TransmitVariant : int {
  TransmitPlain = 0,    // leaves the script in place when it stops
  TransmitCleanUp = 1,  // removes the script and re-arms the scheduler
};

// One call of a transmitter plug-in.
void TransmitStep(HostVector host, TransmitVariant variant);
