// Commands to the modem go out through LW 0..99 and a request (LB 0 or the
// transmit flag); the host places the answer in LW 100..199.
#pragma once

#include <cstdint>

#include "macro/abi.h"

#if defined(MACRO_VECTOR_WORDS)
// Writes text into LW 0..99 NUL-terminated and zero-filled; text of 200 bytes
// or more fills the whole area without a terminator (cut at 200).
int PlaceModemCommand(HostVector host, const char* text);
// Fills LW 100..199 with zeros so that a non-zero first byte means an answer.
int ClearModemReply(HostVector host);
// Writes LB 0 with one byte 1: the server transmitters' request.
int RaiseTransmitRequest(HostVector host);
// Reads the 32-bit tick counter, LW 9034 low half, LW 9035 high half.
std::uint32_t ReadTickCounter(HostVector host);
// Copies the tick counter into LW 1007..1008 (chain and GPRS senders).
int NoteChainSentTick(HostVector host, std::uint32_t tick);
#endif

// Stores 1 into the transmit flag byte behind parameter word 4.
void RaiseTransmitFlag(MacroWord flagWord);
