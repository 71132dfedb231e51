// The one registry every resource kind uses: records by number and by name.
//
// Numbers 0..65535 are chosen by the application and index a table that grows to the
// highest number used + 1; -1 asks for an automatic number 0x10000 + serial (serials
// are never reused), resolved in constant time through a serial table. A record is
// value-initialised (zero-filled) when created and never moves while it lives. Names
// are compared exactly; creating a record under a name in use releases the older one.
//
// A record type needs two members the registry maintains: `int number` and
// `const char* name` (empty string for unnamed entries; the text is owned here).
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/resource_sources.h"

namespace kve::core {

inline constexpr int kAutomaticNumber = -1;
inline constexpr int kFirstAutomaticNumber = 0x10000;

// Whether a number names a record by its automatic number rather than a table slot.
inline bool isAutomaticNumber(int number)
{
    return (static_cast<uint32_t>(number) & 0xFFFF0000u) != 0;
}

// Staging: while a reload builds the new version of a resource beside the live one, every
// creation on that thread is set aside: it gets an automatic number, takes over no number
// or name in use and is not entered under its name, so the live record stays reachable
// and intact until the reload moves the new contents into it. Staging belongs to the
// thread that stages: another thread creating resources meanwhile creates them as usual.
inline int& stagingDepth()
{
    thread_local int depth = 0;
    return depth;
}
inline bool staging()
{
    return stagingDepth() > 0;
}
struct StagingScope {
    StagingScope() { ++stagingDepth(); }
    ~StagingScope() { --stagingDepth(); }
    StagingScope(const StagingScope&) = delete;
    StagingScope& operator=(const StagingScope&) = delete;
};

// Moves everything of a staged record into the live one but the number and the name,
// which the registry keeps for the record; the staged record gets the old contents.
template <class Record>
void swapRecordContents(Record& live, Record& staged)
{
    std::swap(live, staged);
    std::swap(live.number, staged.number);
    std::swap(live.name, staged.name);
}

struct RegistryKind {
    const char* creator = nullptr;       // procedure name of the creation routine; null: no messages
    const char* doubleMessage = nullptr; // logged when a name in use is taken over
    ResourceKind source = ResourceKind::None; // records may come from files: a release forgets the source
};

template <class Record>
class Registry {
public:
    using Release = std::function<void(Record&)>;

    // `release` frees what a record owns (GPU objects and the like); the registry itself
    // forgets the record afterwards.
    explicit Registry(RegistryKind kind, Release release = {}) : kind_(kind), release_(std::move(release)) {}
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;
    ~Registry() = default;

    // The creation algorithm. `number` is in/out: the wanted number or -1 in, the number
    // given out. Returns null (and leaves `number` alone) for a refused number.
    Record* create(int* number, std::string_view name = {})
    {
        const int wanted = staging() ? kAutomaticNumber : (number ? *number : kAutomaticNumber);
        // A refused number changes nothing: it is checked before an entry holding the name
        // is released, so that a failed creation never costs the application a resource.
        const bool refused = wanted == kAutomaticNumber ? bySerial_.size() >= kMaxSerials : isAutomaticNumber(wanted);
        if (refused) {
            if (kind_.creator)
                log::fail("Fail: This ID is not available!", kind_.creator);
            return nullptr;
        }
        if (!name.empty() && !staging()) {
            if (Record* older = findByName(name)) {
                release(older);
                if (kind_.creator)
                    log::entry(kind_.doubleMessage, static_cast<int>(0xFFFF0000), kind_.creator);
            }
        }
        Node* node = nullptr;
        int given = wanted;
        if (wanted == kAutomaticNumber) {
            node = append();
            given = kFirstAutomaticNumber + static_cast<int>(bySerial_.size());
            bySerial_.push_back(node);
        } else {
            const auto slot = static_cast<size_t>(wanted);
            if (slot >= byNumber_.size())
                byNumber_.resize(slot + 1, nullptr);
            else if (byNumber_[slot])
                release(&byNumber_[slot]->record);
            node = append();
            byNumber_[slot] = node;
        }
        node->nameText.assign(name);
        if (!name.empty() && !staging())
            byName_[node->nameText] = node;
        node->record.number = given;
        node->record.name = node->nameText.c_str();
        if (number)
            *number = given;
        return &node->record;
    }

    // The public creation routines' form, where a null name is an empty one.
    Record* create(int* number, const char* name) { return create(number, std::string_view(name ? name : "")); }

    // Constant-time lookup of either kind of number; null when nothing has it.
    Record* find(int number) const
    {
        Node* node = nodeByNumber(number);
        return node ? &node->record : nullptr;
    }

    Record* findByName(std::string_view name) const
    {
        if (name.empty())
            return nullptr;
        const auto found = byName_.find(std::string(name));
        return found == byName_.end() ? nullptr : &found->second->record;
    }

    // Frees what the record owns, then forgets it: number slot, name and entry list.
    void release(Record* record)
    {
        Node* node = nodeOf(record);
        if (!node)
            return;
        if (release_)
            release_(node->record);
        forget(node);
    }

    // The public release operations' form; a number that names nothing is ignored.
    void releaseNumber(int number) { release(find(number)); }

    // Forgets a record without running the kind's release (for a half-made record whose
    // loader failed before it owned anything).
    void discard(Record* record)
    {
        if (Node* node = nodeOf(record))
            forget(node);
    }

    // Enters a staged record under its name, unless another record holds the name.
    void settle(Record* record)
    {
        Node* node = nodeOf(record);
        if (node && !node->nameText.empty())
            byName_.try_emplace(node->nameText, node);
    }

    // Releases every record, in creation order.
    void releaseAll()
    {
        while (!entries_.empty())
            release(&entries_.front()->record);
    }

    // Visits the records in creation order. The visitor must not create or release.
    template <class Visitor>
    void forEach(Visitor&& visit) const
    {
        for (const auto& node : entries_)
            visit(node->record);
    }

    size_t size() const { return entries_.size(); }
    size_t tableSize() const { return byNumber_.size(); }
    bool contains(const Record* record) const { return nodeOf(record) != nullptr; }

private:
    // Automatic numbers stay positive 32-bit ints.
    static constexpr size_t kMaxSerials = static_cast<size_t>(INT32_MAX) - kFirstAutomaticNumber + 1;

    struct Node {
        Record record{};
        std::string nameText;
        typename std::list<std::unique_ptr<Node>>::iterator position;
    };

    Node* append()
    {
        entries_.push_back(std::make_unique<Node>());
        Node* node = entries_.back().get();
        node->position = std::prev(entries_.end());
        node->record.name = "";
        return node;
    }

    Node* nodeByNumber(int number) const
    {
        if (isAutomaticNumber(number)) {
            const auto serial = static_cast<uint32_t>(number) - static_cast<uint32_t>(kFirstAutomaticNumber);
            return serial < bySerial_.size() ? bySerial_[serial] : nullptr;
        }
        const auto slot = static_cast<size_t>(number);
        return slot < byNumber_.size() ? byNumber_[slot] : nullptr;
    }

    // The node of a live record (null for a record this registry does not hold).
    Node* nodeOf(const Record* record) const
    {
        Node* node = record ? nodeByNumber(record->number) : nullptr;
        return node && &node->record == record ? node : nullptr;
    }

    void forget(Node* node)
    {
        const int number = node->record.number;
        if (kind_.source != ResourceKind::None)
            forgetResourceSource(kind_.source, number);
        if (isAutomaticNumber(number))
            bySerial_[static_cast<uint32_t>(number) - static_cast<uint32_t>(kFirstAutomaticNumber)] = nullptr;
        else if (static_cast<size_t>(number) < byNumber_.size() && byNumber_[static_cast<size_t>(number)] == node)
            byNumber_[static_cast<size_t>(number)] = nullptr;
        const auto named = byName_.find(node->nameText);
        if (named != byName_.end() && named->second == node)
            byName_.erase(named);
        entries_.erase(node->position);
    }

    RegistryKind kind_;
    Release release_;
    std::list<std::unique_ptr<Node>> entries_;
    std::vector<Node*> byNumber_;
    std::vector<Node*> bySerial_;
    std::unordered_map<std::string, Node*> byName_;
};

} // namespace kve::core
