#include "app/views/plugin_results.h"

#include "app/app_state.h"
#include "engine/soft_obj.h"
#include "lang/text_tables.h"
#include "plugins/plugin_obj.h"

namespace tidemark {

using widgets::CheckKind;
using widgets::CheckState;
using widgets::kNoNode;
using widgets::kRoot;

namespace {

const wchar_t* KindName(std::uint8_t kind) {
    return kind >= 1 && kind <= PluginKindNames.size() ? PluginKindNames[kind - 1u] : L"";
}

const ColouredText& RiskOf(std::uint8_t risk) {
    static constexpr ColouredText none{L"", kBlack};
    return risk < RiskTexts.size() ? RiskTexts[risk] : none;
}

const wchar_t* ItemKindName(std::uint8_t kind) { return kind < ItemKindNames.size() ? ItemKindNames[kind] : L""; }

}  // namespace

PluginResults::PluginResults() {
    rows_.SetTextProvider([this](NodeId node, int column) { return Text(node, column); });
    plugins_ = AddCategory(kPluginCategoryTitle);
    definitions_ = AddCategory(kDefinitionCategoryTitle);
}

PluginResults::~PluginResults() {
    // Objects outlive the tree: none may report into it any more.
    if (current_ && current_->OnItem == this) current_->OnItem = nullptr;
}

PluginResults::NodeId PluginResults::AddCategory(const wchar_t* title) {
    widgets::RowOptions options;
    options.style.bold = true;
    options.style.textColor = RGB(0, 0, 0);
    options.expanded = true;
    const NodeId node = rows_.AddRow(kRoot, std::vector<std::wstring>{}, options);
    Record record;
    record.kind = NodeKind::Category;
    record.catalog = std::make_unique<TObjCatalog>();
    record.catalog->Title = title;
    records_.emplace(node, std::move(record));
    return node;
}

const PluginResults::Record* PluginResults::RecordOf(NodeId node) const {
    const auto found = records_.find(node);
    return found == records_.end() ? nullptr : &found->second;
}

TObjCatalog& PluginResults::Catalog(NodeId category) {
    return *records_.at(category == definitions_ ? definitions_ : plugins_).catalog;
}

NodeKind PluginResults::KindOf(NodeId node) const {
    const Record* record = RecordOf(node);
    return record ? record->kind : NodeKind::Category;
}

TCleanInterface* PluginResults::ObjectOf(NodeId node) const {
    const Record* record = RecordOf(node);
    return record ? record->object : nullptr;
}

const TCleanItem* PluginResults::ItemOf(NodeId node) const {
    const Record* record = RecordOf(node);
    return record ? record->item.get() : nullptr;
}

TCleanItem* PluginResults::ItemOf(NodeId node) {
    const auto found = records_.find(node);
    return found == records_.end() ? nullptr : found->second.item.get();
}

void PluginResults::NewObject(TCleanInterface& object, NodeId category) {
    if (current_ && current_ != &object && current_->OnItem == this) current_->OnItem = nullptr;
    current_ = &object;
    currentCategory_ = category == definitions_ ? definitions_ : plugins_;
    currentNode_ = kNoNode;
    object.Tag = 0;
    object.OnItem = this;
}

void PluginResults::Found(const ItemReport& report) {
    if (!report.Item || report.Item->State == StateNotFound || !current_) return;
    if (currentNode_ == kNoNode) {
        widgets::RowOptions options;
        options.checkKind = CheckKind::TriState;
        options.check = CheckState::Unchecked;
        currentNode_ = rows_.AddRow(currentCategory_, std::vector<std::wstring>{}, options);
        Record record;
        record.kind = NodeKind::Object;
        record.object = current_;
        records_.emplace(currentNode_, std::move(record));
        rows_.SetStyle(currentNode_, StyleOf(currentNode_));
    }
    const NodeId entry = rows_.AddRow(currentNode_, std::vector<std::wstring>{});
    Record record;
    record.kind = NodeKind::Entry;
    record.object = current_;
    const bool registry = report.Kind == ItemRegKey || report.Kind == ItemRegValue;
    record.item = std::make_unique<TCleanItem>(report.Item->Path, report.Index, report.Item->State,
                                               static_cast<std::uint8_t>(report.Kind),
                                               registry ? ViewNumber(report.Item->View) : 0);
    records_.emplace(entry, std::move(record));
    rows_.SetStyle(entry, StyleOf(entry));
}

void PluginResults::Forget(NodeId node) {
    for (NodeId child : rows_.Children(node)) Forget(child);
    records_.erase(node);
}

void PluginResults::ClearCategory(NodeId category) {
    if (current_ && currentCategory_ == category) {
        // The object being loaded may never have reported a found entry: let go of it too.
        if (current_->OnItem == this) current_->OnItem = nullptr;
        current_ = nullptr;
        currentNode_ = kNoNode;
    }
    rows_.BeginUpdate();
    for (NodeId child : rows_.Children(category)) {
        Forget(child);
        rows_.RemoveRow(child);
    }
    rows_.EndUpdate();
}

std::vector<PluginResults::NodeId> PluginResults::Objects(NodeId category) const { return rows_.Children(category); }
std::vector<PluginResults::NodeId> PluginResults::Entries(NodeId object) const { return rows_.Children(object); }

void PluginResults::ResetChecks(int mode) {
    rows_.BeginUpdate();
    for (NodeId category : {plugins_, definitions_}) {
        for (NodeId object : rows_.Children(category)) {
            rows_.SetCheckKind(object, CheckKind::TwoState);
            bool ticked = false;
            if (mode == 2) ticked = true;
            else if (mode != 0) ticked = category == definitions_ && ObjectOf(object)->Status != StatusNotFound;
            rows_.SetCheck(object, ticked ? CheckState::Checked : CheckState::Unchecked);
        }
    }
    rows_.EndUpdate();
}

int PluginResults::TickedCount() const {
    int count = 0;
    for (NodeId category : {plugins_, definitions_})
        for (NodeId object : rows_.Children(category)) count += IsTicked(object) ? 1 : 0;
    return count;
}

bool PluginResults::IsTicked(NodeId object) const { return rows_.GetCheck(object) == CheckState::Checked; }

void PluginResults::SetTicked(NodeId object, bool ticked) {
    if (KindOf(object) != NodeKind::Object) return;
    rows_.SetCheck(object, ticked ? CheckState::Checked : CheckState::Unchecked);
}

void PluginResults::SetScanning(bool scanning) {
    scanning_ = scanning;
    rows_.BeginUpdate();
    Repaint(plugins_);
    Repaint(definitions_);
    rows_.EndUpdate();
}

bool PluginResults::IsPluginObject(NodeId object) const { return rows_.Parent(object) == plugins_; }

std::wstring PluginResults::Text(NodeId node, int column) const {
    const Record* record = RecordOf(node);
    if (!record) return {};
    switch (record->kind) {
    case NodeKind::Category: {
        const TObjCatalog& catalog = *record->catalog;
        if (column == 0) return catalog.Title + L" (共" + std::to_wstring(rows_.ChildCount(node)) + L"个)";
        if (scanning_) return L"正在扫描...";
        if (catalog.Found == 0 && node == definitions_) return L"没有发现可疑软件";
        if (catalog.Found > 0) return std::to_wstring(catalog.Found) + L"个";
        return {};
    }
    case NodeKind::Object: {
        const TCleanInterface& object = *record->object;
        if (IsPluginObject(node)) {
            if (column == 0) return object.Name;
            return CardType(node).substr(5);
        }
        if (column == 0) return object.Name + L" (ID: " + std::to_wstring(object.Id) + L")";
        return ObjectStatusText(object.Status).Text;
    }
    case NodeKind::Entry: {
        const TCleanItem& item = *record->item;
        if (column == 0) return item.Text;
        // A definition's registry entry says which view it was found in (a plug-in's card says it).
        const std::wstring view = IsPluginObject(rows_.Parent(node)) ? std::wstring() : RegistryViewLabel(item.View, App().UiLanguageId);
        return std::wstring(ItemKindName(item.ItemKind)) + L" (" + EntryStateText(item.State).Text + L")" +
               (view.empty() ? L"" : L" [" + view + L"]");
    }
    }
    return {};
}

widgets::RowStyle PluginResults::StyleOf(NodeId node) const {
    widgets::RowStyle style = rows_.Style(node);
    const Record* record = RecordOf(node);
    if (!record) return style;
    switch (record->kind) {
    case NodeKind::Category: style.textColor = RGB(0, 0, 0); style.bold = true; break;
    case NodeKind::Object:
        style.textColor = IsPluginObject(node) ? RiskOf(static_cast<const TPluginObj*>(record->object)->Risk).Colour
                                               : ObjectStatusText(record->object->Status).Colour;
        break;
    case NodeKind::Entry: style.textColor = EntryStateText(record->item->State).Colour; break;
    }
    return style;
}

void PluginResults::Repaint(NodeId node) {
    if (RecordOf(node)) rows_.SetStyle(node, StyleOf(node));
}

std::wstring PluginResults::CardName(NodeId object) const {
    const TCleanInterface* obj = ObjectOf(object);
    if (!obj) return {};
    if (obj->Name.find(L"无名") == std::wstring::npos) return obj->Name;
    // A nameless plug-in is known by the last part of what it registered (its class identifier).
    const NodeId first = rows_.FirstChild(object);
    const TCleanItem* item = ItemOf(first);
    if (!item) return {};
    const std::size_t slash = item->Text.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : item->Text.substr(slash + 1);
}

std::wstring PluginResults::CardType(NodeId object) const {
    const TCleanInterface* obj = ObjectOf(object);
    if (!obj) return {};
    const std::uint8_t risk = IsPluginObject(object) ? static_cast<const TPluginObj*>(obj)->Risk : std::uint8_t{RiskUnknown};
    // On 64-bit Windows: the registry view (the 32-bit or the 64-bit browser's) it was found in.
    const std::wstring view = RegistryViewLabel(ViewNumber(obj->View), App().UiLanguageId);
    return std::wstring(L"插件类型:") + KindName(obj->Kind) + L" (" + RiskOf(risk).Text + L")" +
           (view.empty() ? L"" : L" [" + view + L"]");
}

std::wstring PluginResults::CardFile(NodeId object) const {
    for (NodeId entry : rows_.Children(object))
        if (const TCleanItem* item = ItemOf(entry); item && item->ItemKind == ItemFile) return item->Text;
    return {};
}

std::vector<std::wstring> PluginResults::DetailLines(NodeId object) const {
    std::vector<std::wstring> lines;
    for (NodeId entry : rows_.Children(object))
        if (const TCleanItem* item = ItemOf(entry)) {
            lines.push_back(item->Text);
            lines.emplace_back();
        }
    return lines;
}

std::wstring PluginResults::PathOf(NodeId node) const {
    const TCleanItem* item = KindOf(node) == NodeKind::Entry ? ItemOf(node) : nullptr;
    if (!item || (item->ItemKind != ItemFolder && item->ItemKind != ItemFile)) return {};
    return item->Text.find(L'*') == std::wstring::npos ? item->Text : FolderPartOf(item->Text);
}

bool PluginResults::DeleteEntry(NodeId entry) {
    const Record* record = RecordOf(entry);
    if (!record || record->kind != NodeKind::Entry) return false;
    TCleanInterface& object = *record->object;
    TCleanItem& item = *record->item;
    bool removed = false;
    switch (item.ItemKind) {
    case ItemService: removed = object.CleanService(nullptr, item.Index, true); break;
    case ItemFolder: removed = object.CleanFolder(item.Index, true); break;
    case ItemFile: removed = object.CleanFile(item.Index, true); break;
    case ItemRegKey: removed = object.CleanRegKey(item.Index, true); break;
    case ItemRegValue: removed = object.CleanRegValue(item.Index, true); break;
    default: return false;
    }
    if (!removed) return false;
    item.State = StateRemoved;
    rows_.BeginUpdate();
    Repaint(entry);
    Repaint(rows_.Parent(entry));
    rows_.EndUpdate();
    return true;
}

bool PluginResults::UnloadObject(NodeId object) {
    TCleanInterface* obj = KindOf(object) == NodeKind::Object ? ObjectOf(object) : nullptr;
    if (!obj || obj->Status == StatusNotFound) return false;
    if (!obj->Clean()) return false;
    SetTicked(object, false);
    return true;
}

}  // namespace tidemark
