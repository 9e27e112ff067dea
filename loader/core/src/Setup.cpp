#include "nload/Setup.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "nload/Report.h"
#include "qavres/Resources.h"
#include "qavsettings/SettingsFiles.h"

namespace nload {

bool LoadTexts(qavres::StringTable& texts, std::string* error)
{
    const qavsettings::MgmtConfig config = qavsettings::ReadMgmtConfig(qavsettings::Reader::kDownloadTool);
    return texts.Load(TextsName(config.language), error);
}

Communities ReadCommunities()
{
    const qavsettings::MgmtConfig config = qavsettings::ReadMgmtConfig(qavsettings::Reader::kDownloadTool);
    return {config.readCommunity, config.writeCommunity};
}

void ReadTargetInfo(Environment& env, std::vector<PrinterInfo>& printers, int parallel)
{
    std::vector<size_t> network;
    for (size_t i = 0; i < printers.size(); ++i) {
        if (printers[i].kind == PortKind::kNetwork) network.push_back(i);
    }
    const size_t workers = std::min(network.size(), static_cast<size_t>(std::max(1, parallel)));
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t k = next++; k < network.size(); k = next++) env.ReadInfo(printers[network[k]]);
    };
    if (workers <= 1) {
        work();
        return;
    }
    std::vector<std::thread> pool;
    for (size_t w = 0; w < workers; ++w) pool.emplace_back(work);
    for (std::thread& t : pool) t.join();
}

} // namespace nload
