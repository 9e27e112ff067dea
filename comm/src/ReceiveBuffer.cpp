#include "ReceiveBuffer.h"

#include <sys/socket.h>

namespace ncomm {

int EnlargeReceiveBuffer(int socket)
{
    const int room = 8 * 1024 * 1024;
    if (::setsockopt(socket, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room) != 0)
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    int granted = 0;
    socklen_t length = sizeof granted;
    ::getsockopt(socket, SOL_SOCKET, SO_RCVBUF, &granted, &length);
    return granted;
}

} // namespace ncomm
