// The message envelope, batched unit updates, presence and chat, and the
// dispatcher that hands each received datagram to its handler.
#pragma once

#include <cstdint>

// One received datagram: `len` bytes at `buf` (followed by a zero byte),
// from the sender whose IPv4 address is `sender`.
void client_message(const unsigned char* buf, int len, uint32_t sender);
