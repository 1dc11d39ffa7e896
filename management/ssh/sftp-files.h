// Another computer's files over SFTP: the local provider's file access through an SSH session.
#pragma once

#include <memory>

#include "facts/files.h"
#include "management/ssh/session.h"

namespace qv::management::ssh {

// The files of the computer `session` reaches, many requests in flight at once (see
// sftp-files.cpp). Once the connection is gone every call fails at once and lost() says so.
std::shared_ptr<facts::FileAccess> makeSftpFiles(std::shared_ptr<Session> session);

}  // namespace qv::management::ssh
