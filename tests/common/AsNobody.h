#pragma once
// Runs a piece of a test as an ordinary user. Permission tests mean nothing
// to root, and CI runs as root: the check runs in a forked child that gives
// up root (user and group "nobody", 65534) first. Without root the child
// simply runs as the current user, who is ordinary already.

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

// The child's exit code: what `check` returns (0..125), 126 when root could
// not be given up, 127 when the child did not end normally.
inline int AsNobody(const std::function<int()>& check) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
      ::_exit(126);
    ::_exit(check());
  }
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return 127;
  return WEXITSTATUS(status);
}
