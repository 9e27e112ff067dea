// Private to the communication library: room for bursts of datagrams.
#pragma once

namespace ncomm {

// A fleet answering one discovery, or reporting one event, sends its
// datagrams in one burst, faster than the receiving thread takes them; the
// system's default receive buffer (about 208 KiB) holds a few hundred small
// datagrams and drops the rest. The socket's buffer is raised to 8 MiB,
// room for several thousand: beyond the system's limit (net.core.rmem_max)
// where the process may (SO_RCVBUFFORCE needs CAP_NET_ADMIN), else up to
// that limit. Returns the size the kernel then reports (it counts its own
// bookkeeping too, so about twice the size granted).
int EnlargeReceiveBuffer(int socket);

} // namespace ncomm
