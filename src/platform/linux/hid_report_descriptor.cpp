#include "platform/linux/hid_report_descriptor.h"

#include <algorithm>

namespace qv {

namespace {

// Item prefix byte: bits 0-1 size code (3 = four bytes), bits 2-3 type,
// bits 4-7 tag. 0xFE opens a long item (size byte, tag byte, data).
constexpr std::uint8_t kLongItemPrefix = 0xFE;

enum ItemType : std::uint8_t { Main = 0, Global = 1, Local = 2, Reserved = 3 };

enum MainTag : std::uint8_t { Input = 0x8, Output = 0x9, Collection = 0xA, Feature = 0xB, EndCollection = 0xC };
enum GlobalTag : std::uint8_t { UsagePage = 0x0, ReportId = 0x8, Push = 0xA, Pop = 0xB };
enum LocalTag : std::uint8_t { Usage = 0x0 };

struct GlobalState {
    std::uint16_t usagePage = 0;
    std::uint8_t reportId = 0;
};

// A Usage item as declared: a 4-byte usage carries its own page in its high
// half (extended usage); a shorter one takes the current usage page.
struct DeclaredUsage {
    std::uint16_t page = 0;
    std::uint16_t id = 0;
    bool extended = false;
};

std::uint32_t littleEndian(std::span<const std::uint8_t> data) {
    std::uint32_t value = 0;
    for (std::size_t i = data.size(); i-- > 0;) value = (value << 8) | data[i];
    return value;
}

// At a main item, the short usages declared after the last use of the
// current usage page take that page, so a Usage Page item written after its
// usages in the same block still applies to them (what the Linux and Windows
// HID parsers both do). Walks back from the last usage and stops at the
// first one already on the current page.
void applyLastUsagePage(std::vector<DeclaredUsage>& usages, std::uint16_t page) {
    for (std::size_t i = usages.size(); i-- > 0;) {
        if (usages[i].extended) continue;
        if (usages[i].page == page) break;
        usages[i].page = page;
    }
}

class Parser {
public:
    ReportDescriptorLayout run(std::span<const std::uint8_t> descriptor) {
        std::size_t position = 0;
        while (position < descriptor.size()) {
            const std::uint8_t prefix = descriptor[position];
            if (prefix == kLongItemPrefix) {
                // Long items carry no information the collections need.
                if (descriptor.size() - position < 3) return fail(ReportDescriptorError::TruncatedItem);
                const std::size_t dataSize = descriptor[position + 1];
                if (descriptor.size() - position - 3 < dataSize) return fail(ReportDescriptorError::TruncatedItem);
                position += 3 + dataSize;
                continue;
            }
            const std::size_t sizeCode = prefix & 0x03;
            const std::size_t dataSize = sizeCode == 3 ? 4 : sizeCode;
            if (descriptor.size() - position - 1 < dataSize) return fail(ReportDescriptorError::TruncatedItem);
            const auto data = descriptor.subspan(position + 1, dataSize);
            position += 1 + dataSize;
            const auto type = static_cast<std::uint8_t>((prefix >> 2) & 0x03);
            const auto tag = static_cast<std::uint8_t>(prefix >> 4);
            ReportDescriptorError error = ReportDescriptorError::None;
            switch (type) {
            case Main: error = mainItem(tag); break;
            case Global: error = globalItem(tag, data); break;
            case Local: localItem(tag, data); break;
            default: break;  // reserved short items are stepped over
            }
            if (error != ReportDescriptorError::None) return fail(error);
        }
        if (depth_ != 0) return fail(ReportDescriptorError::UnclosedCollection);
        ReportDescriptorLayout layout;
        layout.collections = std::move(collections_);
        return layout;
    }

private:
    ReportDescriptorError mainItem(std::uint8_t tag) {
        switch (tag) {
        case Collection:
            if (depth_ == 0) openTopLevelCollection();
            ++depth_;
            break;
        case EndCollection:
            if (depth_ == 0) return ReportDescriptorError::EndWithoutCollection;
            --depth_;
            break;
        case Input:
        case Output:
        case Feature:
            noteReport();
            break;
        default:
            break;
        }
        usages_.clear();  // every main item ends the block of local items
        return ReportDescriptorError::None;
    }

    ReportDescriptorError globalItem(std::uint8_t tag, std::span<const std::uint8_t> data) {
        switch (tag) {
        case UsagePage:
            global_.usagePage = static_cast<std::uint16_t>(littleEndian(data));
            break;
        case ReportId: {
            const std::uint32_t id = littleEndian(data);
            if (id == 0) return ReportDescriptorError::ReportIdZero;
            global_.reportId = static_cast<std::uint8_t>(id);
            break;
        }
        case Push:
            if (stack_.size() >= kMaxGlobalStackDepth) return ReportDescriptorError::PushTooDeep;
            stack_.push_back(global_);
            break;
        case Pop:
            if (stack_.empty()) return ReportDescriptorError::PopWithoutPush;
            global_ = stack_.back();
            stack_.pop_back();
            break;
        default:
            break;
        }
        return ReportDescriptorError::None;
    }

    void localItem(std::uint8_t tag, std::span<const std::uint8_t> data) {
        if (tag != Usage) return;
        const std::uint32_t value = littleEndian(data);
        DeclaredUsage usage;
        usage.extended = data.size() == 4;
        usage.page = usage.extended ? static_cast<std::uint16_t>(value >> 16) : global_.usagePage;
        usage.id = static_cast<std::uint16_t>(value);
        usages_.push_back(usage);
    }

    void openTopLevelCollection() {
        HidTopLevelCollection collection;
        applyLastUsagePage(usages_, global_.usagePage);
        if (usages_.empty()) {
            collection.usagePage = global_.usagePage;
        } else {
            // A collection with several usages is known by the first.
            collection.usagePage = usages_.front().page;
            collection.usage = usages_.front().id;
        }
        collections_.push_back(std::move(collection));
    }

    void noteReport() {
        if (depth_ == 0 || global_.reportId == 0) return;
        auto& ids = collections_.back().reportIds;
        if (std::find(ids.begin(), ids.end(), global_.reportId) == ids.end()) ids.push_back(global_.reportId);
    }

    ReportDescriptorLayout fail(ReportDescriptorError error) {
        ReportDescriptorLayout layout;
        layout.error = error;
        return layout;
    }

    GlobalState global_;
    std::vector<GlobalState> stack_;
    std::vector<DeclaredUsage> usages_;
    std::vector<HidTopLevelCollection> collections_;
    std::size_t depth_ = 0;
};

} // namespace

ReportDescriptorLayout parseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    return Parser().run(descriptor);
}

std::string_view describe(ReportDescriptorError error) {
    switch (error) {
    case ReportDescriptorError::None: return "well-formed";
    case ReportDescriptorError::TruncatedItem: return "item runs past the end";
    case ReportDescriptorError::EndWithoutCollection: return "End Collection without a collection";
    case ReportDescriptorError::UnclosedCollection: return "collection not closed";
    case ReportDescriptorError::PopWithoutPush: return "Pop without Push";
    case ReportDescriptorError::PushTooDeep: return "Push nested too deeply";
    case ReportDescriptorError::ReportIdZero: return "Report ID 0";
    }
    return "unknown";
}

} // namespace qv
