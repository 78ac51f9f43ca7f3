// The plug-in page's result tree (the hidden "VDT1"): two categories, the objects the scans
// reported under them and each object's entries. It records what the user ticked; the cards
// show the plug-in category and the clean removes the ticked objects. Objects belong to the
// cleaner; the tree owns its category records and its copies of the entries.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/widgets/tree_list_model.h"
#include "engine/clean_obj.h"

namespace tidemark {

class TPluginObj;

enum class NodeKind : std::int32_t { Category = 0, Object = 1, Entry = 2 };

struct TObjCatalog {
    std::wstring Title;
    std::int32_t Total = 0;
    std::int32_t Found = 0;
};

// One reported entry, copied when it was reported.
struct TCleanItem {
    TCleanItem(std::wstring text, std::int32_t index, std::uint8_t state, std::uint8_t kind, int view = 0)
        : Text(std::move(text)), State(state), ItemKind(kind), Index(index), View(view) {}
    std::wstring Text;
    std::uint8_t State;
    std::uint8_t ItemKind;
    std::int32_t Index;
    int View;  // the registry view (32 or 64) a registry entry was found in; 0 for the only one
};

class PluginResults final : public Sink<ItemReport> {
public:
    using NodeId = widgets::NodeId;

    PluginResults();
    ~PluginResults() override;

    widgets::TreeListModel& Rows() { return rows_; }
    const widgets::TreeListModel& Rows() const { return rows_; }
    NodeId PluginCategory() const { return plugins_; }
    NodeId DefinitionCategory() const { return definitions_; }
    TObjCatalog& Catalog(NodeId category);

    // A new object is about to report its entries into category: its node is made with its first
    // entry that was found.
    void NewObject(TCleanInterface& object, NodeId category);
    // The objects' OnItem sink.
    void Found(const ItemReport& report) override;
    // Removes every child of the category (the objects stay with their owner).
    void ClearCategory(NodeId category);

    NodeKind KindOf(NodeId node) const;
    TCleanInterface* ObjectOf(NodeId node) const;  // the object of an object or entry node
    const TCleanItem* ItemOf(NodeId node) const;
    TCleanItem* ItemOf(NodeId node);
    std::vector<NodeId> Objects(NodeId category) const;
    std::vector<NodeId> Entries(NodeId object) const;

    // Mode 0: every object unticked; 2: every object ticked; otherwise a definition that was
    // detected ticked and everything else unticked. Boxes become two-state.
    void ResetChecks(int mode);
    int TickedCount() const;
    bool IsTicked(NodeId object) const;
    void SetTicked(NodeId object, bool ticked);

    // While a scan runs, the categories say so.
    void SetScanning(bool scanning);
    bool Scanning() const { return scanning_; }

    std::wstring Text(NodeId node, int column) const;
    // Restyles a node after its record changed (colours follow states, statuses and risks).
    void Repaint(NodeId node);

    // What a card of an object node shows.
    std::wstring CardName(NodeId object) const;
    std::wstring CardType(NodeId object) const;
    std::wstring CardFile(NodeId object) const;  // the file path alone, empty when none
    // The entry texts, each followed by an empty line (the details window).
    std::vector<std::wstring> DetailLines(NodeId object) const;

    // The file or folder an entry of kind 1 or 2 names (the folder of a pattern); empty for
    // every other node.
    std::wstring PathOf(NodeId node) const;
    // The result tree's actions on its focused node; false when they do not apply or fail.
    bool DeleteEntry(NodeId entry);    // "删除": the entry's own removal, with a recheck
    bool UnloadObject(NodeId object);  // "卸载": the object's clean

private:
    struct Record {
        NodeKind kind = NodeKind::Category;
        TCleanInterface* object = nullptr;
        std::unique_ptr<TObjCatalog> catalog;
        std::unique_ptr<TCleanItem> item;
    };
    const Record* RecordOf(NodeId node) const;
    NodeId AddCategory(const wchar_t* title);
    widgets::RowStyle StyleOf(NodeId node) const;
    bool IsPluginObject(NodeId object) const;
    void Forget(NodeId node);

    widgets::TreeListModel rows_;
    std::map<NodeId, Record> records_;
    NodeId plugins_ = widgets::kNoNode;
    NodeId definitions_ = widgets::kNoNode;
    TCleanInterface* current_ = nullptr;
    NodeId currentCategory_ = widgets::kNoNode;
    NodeId currentNode_ = widgets::kNoNode;
    bool scanning_ = false;
};

// "IE 插件" / "软件".
inline constexpr wchar_t kPluginCategoryTitle[] = L"IE 插件";
inline constexpr wchar_t kDefinitionCategoryTitle[] = L"软件";

}  // namespace tidemark
