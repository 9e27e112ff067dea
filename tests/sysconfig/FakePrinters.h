// Printers kept in memory behind the tool's PrinterLink: the tool's rules
// (checks, block reads, the order of writes, failures) without a network.
// Every link of one FakeNetwork sees the same printers; links may run on
// several threads at once.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "nconfig/Printer.h"
#include "nconfig/Values.h"
#include "qavobj/PrinterObjects.h"

namespace nconfigtest {

struct FakePrinter {
    bool silent = false;
    std::map<std::pair<int, int>, std::string> objects;   // (object, instance) -> value
    std::map<std::pair<int, int>, int> refused;           // writes refused with this status
    std::vector<std::string> log;                         // "read 20901.0", "write 20721.0=5", "block 3"
};

class FakeNetwork {
public:
    FakePrinter& Add(const std::string& address)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return printers_[address];
    }
    // A printer of the maker: class, model, version and the given objects.
    FakePrinter& AddMaker(const std::string& address, int printerClass, const std::string& model,
                          const std::string& version = "V1.02")
    {
        FakePrinter& p = Add(address);
        p.objects[{nconfig::kObjectClass, 0}] = std::to_string(printerClass);
        p.objects[{nconfig::kObjectModel, 0}] = model;
        if (!version.empty()) p.objects[{nconfig::kObjectFirmware, 0}] = version;
        return p;
    }
    FakePrinter& At(const std::string& address) { return printers_.at(address); }
    std::vector<std::string> Log(const std::string& address)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return printers_.at(address).log;
    }
    std::string Value(const std::string& address, int object, int instance = 0)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto& o = printers_.at(address).objects;
        auto it = o.find({object, instance});
        return it == o.end() ? std::string() : it->second;
    }
    int opens = 0;

    nconfig::LinkFactory Links()
    {
        return [this] { return std::make_unique<Link>(*this); };
    }

private:
    class Link : public nconfig::PrinterLink {
    public:
        explicit Link(FakeNetwork& net) : net_(net) {}
        int Open(const std::string& port, const std::string& address) override
        {
            std::lock_guard<std::mutex> lock(net_.mutex_);
            ++net_.opens;
            auto it = net_.printers_.find(address);
            if (it == net_.printers_.end() || it->second.silent) return -104;
            printer_ = &it->second;
            printer_->log.push_back("open " + port);
            return 0;
        }
        void Close() override { printer_ = nullptr; }
        int Read(int object, int instance, std::string& value) override
        {
            std::lock_guard<std::mutex> lock(net_.mutex_);
            if (!printer_) return -154;
            printer_->log.push_back("read " + Key(object, instance));
            auto it = printer_->objects.find({object, instance});
            if (it == printer_->objects.end()) return qavobj::kCheckFailed;
            value = it->second;
            return 0;
        }
        int Write(int object, int instance, const std::string& value, int* refused) override
        {
            std::lock_guard<std::mutex> lock(net_.mutex_);
            if (!printer_) return -154;
            printer_->log.push_back("write " + Key(object, instance) + "=" + value);
            if (refused) *refused = 0;
            auto r = printer_->refused.find({object, instance});
            if (r != printer_->refused.end()) {
                if (refused) *refused = r->second;
                return qavobj::kCheckFailed;
            }
            printer_->objects[{object, instance}] = value;
            return 0;
        }
        int ReadBlock(const std::vector<nconfig::ObjectRef>& objects, std::vector<std::string>& values) override
        {
            std::lock_guard<std::mutex> lock(net_.mutex_);
            if (!printer_) return -154;
            printer_->log.push_back("block " + std::to_string(objects.size()));
            values.clear();
            for (const auto& o : objects) {
                auto it = printer_->objects.find({o.object, o.instance});
                values.push_back(it == printer_->objects.end() ? nconfig::kUnknownValue : it->second);
            }
            return 0;
        }

    private:
        static std::string Key(int object, int instance) { return std::to_string(object) + "." + std::to_string(instance); }
        FakeNetwork& net_;
        FakePrinter* printer_ = nullptr;
    };

    std::mutex mutex_;
    std::map<std::string, FakePrinter> printers_;
};

} // namespace nconfigtest
