// vz_other_user_client <uid> <socket path>: a test's pipe client that runs as
// another user. It switches to that user (group and user id), connects to
// the socket and waits up to five seconds for the server to close the link.
// Exit codes: 0 the server closed it at once (refused), 1 it stayed open,
// 2 the user could not be switched (not root), 3 no connection was made.
#include <grp.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/local_socket.h"
#include "platform/local_socket_poll.h"

int main(int argc, char** argv) {
  if (argc != 3) return 3;
  const uid_t uid = static_cast<uid_t>(std::strtoul(argv[1], nullptr, 10));
  if (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(uid)) != 0 || ::setuid(uid) != 0) return 2;
  vz::LocalSocket socket;
  if (vz::ConnectLocalSocket(argv[2], &socket).status != vz::ConnectStatus::kConnected) return 3;
  vz::PollItem item;
  item.fd = socket.Fd();
  item.wanted = vz::kPollReadable;
  if (vz::PollDescriptors(&item, 1, 5000) <= 0) return 1;
  char byte;
  return socket.Read(&byte, 1).status == vz::IoStatus::kEndOfStream ? 0 : 1;
}
