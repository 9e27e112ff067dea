#include "Installation.h"

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <thread>

#include "qavplatform/ProgramStart.h"
#include "qavplatform/Text.h"
#include "qavsettings/Profile.h"

namespace qavtest {

namespace {

std::string Trim(const std::string& s) { return qavplatform::Trim(s, " \t\r"); }

std::string Quoted(const std::string& s) { return "'" + std::regex_replace(s, std::regex("'"), "'\\''") + "'"; }

} // namespace

bool InstallInto(const std::string& prefix, std::string& log)
{
    log = RunCommand("QAV_NO_DATA_DIR=1 " QAV_CMAKE_COMMAND " --install " + Quoted(QAV_BINARY_DIR) + " --prefix " +
                         Quoted(prefix) + " >/dev/null; echo rc=$?",
                     true);
    return log.find("rc=0") != std::string::npos;
}

bool UnitFile::Load(const std::string& path)
{
    entries_.clear();
    std::istringstream in(ReadFile(path));
    if (in.str().empty()) return false;
    std::string section, line, pending;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\\') {
            pending += line.substr(0, line.size() - 1) + " ";
            continue;
        }
        line = Trim(pending + line);
        pending.clear();
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        entries_.push_back({section, {Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))}});
    }
    return true;
}

std::vector<std::string> UnitFile::Values(const std::string& section, const std::string& key) const
{
    std::vector<std::string> out;
    for (const auto& [s, kv] : entries_)
        if (s == section && kv.first == key) out.push_back(kv.second);
    return out;
}

std::string UnitFile::Value(const std::string& section, const std::string& key) const
{
    const std::vector<std::string> all = Values(section, key);
    return all.empty() ? std::string() : all.back();
}

std::map<std::string, std::string> UnitFile::Environment() const
{
    std::map<std::string, std::string> env;
    for (const std::string& line : Values("Service", "Environment")) {
        for (const std::string& word : UnitWords(line)) {
            const size_t eq = word.find('=');
            if (eq != std::string::npos) env[word.substr(0, eq)] = word.substr(eq + 1);
        }
    }
    return env;
}

std::vector<std::string> UnitFile::Command(const std::string& key) const { return UnitWords(Value("Service", key)); }

std::vector<std::string> UnitWords(const std::string& value) { return qavplatform::SplitCommandLine(value); }

bool CleanProcess::Start(const std::vector<std::string>& command, const std::map<std::string, std::string>& env,
                         const std::string& logPath)
{
    std::vector<std::string> argv = {"/usr/bin/env", "-i"};
    for (const auto& [key, value] : env) argv.push_back(key + "=" + value);
    argv.insert(argv.end(), command.begin(), command.end());
    return process_.Start(argv, logPath);
}

int CleanProcess::RunToEnd(const std::vector<std::string>& command, const std::map<std::string, std::string>& env,
                           const std::string& logPath, int timeoutMs)
{
    if (!Start(command, env, logPath)) return -1;
    const int rc = process_.Wait(timeoutMs);
    if (rc == -1) process_.Stop();
    return rc;
}

bool CleanProcess::WaitForLog(const std::string& text, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Log().find(text) == std::string::npos) {
        if (!process_.Running() || std::chrono::steady_clock::now() >= deadline) return Log().find(text) != std::string::npos;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int CleanProcess::Terminate(int timeoutMs)
{
    if (!process_.Running()) return -1;
    ::kill(process_.Pid(), SIGTERM);
    const int rc = process_.Wait(timeoutMs);
    if (rc == -1) process_.Stop();
    return rc;
}

std::map<std::string, std::string> ServerSessionEnvironment(const std::string& home, const std::string& runtimeDir)
{
    ::mkdir(runtimeDir.c_str(), 0700);
    return {
        {"HOME", home},
        {"USER", "qavtest"},
        {"LOGNAME", "qavtest"},
        {"PATH", "/usr/local/bin:/usr/bin:/bin"},
        {"XDG_RUNTIME_DIR", runtimeDir},
        {"LANG", "C.UTF-8"},
    };
}

std::string DefaultDataFolder(const std::string& home) { return home + "/.local/share/VORANTA QAV/QAVNetworkTool"; }

std::string SampleFleetOnOwnAddresses()
{
    const std::string own = LoopbackAddress(1);
    const std::string prefix = own.substr(0, own.rfind('.') + 1);
    return std::regex_replace(ReadFile(QAV_SOURCE_DIR "/simulator/sample.fleet"), std::regex(R"(\b127\.0\.0\.)"),
                              prefix);
}

void SetSetting(const std::string& dataFolder, const std::string& file, const std::string& section,
                const std::string& key, const std::string& value)
{
    qavsettings::ProfileDocument doc;
    doc.Load(dataFolder + "/" + file);
    doc.SetString(section, key, value);
    doc.Save(dataFolder + "/" + file);
}

} // namespace qavtest
