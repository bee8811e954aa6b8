// The commands of deveder-cli, each in its own file.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_session.h"

namespace deveder::cli {

using Args = std::vector<std::string>;

int CmdPorts(const Options& options);
int CmdProbe(Session& session, const Args& args);
int CmdSettings(Session& session, const Args& args);
int CmdWifi(Session& session, const Args& args);
int CmdBluetooth(Session& session, const Args& args);
int CmdTest(Session& session, const Args& args);
int CmdFont(Session& session, const Args& args);
int CmdFirmware(Session& session, const Args& args);
int CmdBackup(Session& session, const Args& args);
int CmdRestore(Session& session, const Args& args);
int CmdVerify(Session& session, const Args& args);
int CmdDoctor(const Options& options, const Args& args);
int CmdNames(const Args& args);

// Usage error: prints the message and returns kExitUsage.
int Usage(const std::string& message);

}  // namespace deveder::cli
