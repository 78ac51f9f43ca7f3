// Browser plug-ins as cleanable objects: one object per registration of an Internet Explorer
// add-on (helper object, toolbar, context-menu entry, toolbar button, explorer bar). Load reads
// the registration and what it names; Clean removes as much as the plug-in's risk allows.
#pragma once

#include "engine/clean_obj.h"
#include "plugins/guids.h"

namespace tidemark {

// One entry a plug-in's clean removes.
struct PluginEntry {
    ItemKind Kind = ItemFile;
    TSingleItem* Item = nullptr;
};

class TPluginObj : public TCleanObj {
public:
    std::uint8_t Risk = RiskUnknown;

    // Reads the registration named key (a class identifier, or a menu text for TMenuExt),
    // reporting every entry through OnItem as it is added.
    virtual void Load(const std::wstring& key) = 0;

    // The entries a clean removes, in the order it removes them (a preview lists exactly
    // these): none of a safe plug-in; the registration of an ordinary one; of the others the
    // files and folders too. An unknown plug-in served by a library under the Windows folder
    // loses only its plug-in registration: its library and its class registration stay
    // (Windows's own libraries serve bars and helpers the table may not know).
    std::vector<PluginEntry> CleanPlan() const;
    // Removes one entry of the plan through the host's removal service and sets its state; a
    // file the registration names that is no exact path of an existing file is not touched
    // (Missing, state "not found").
    Outcome RemoveEntry(const PluginEntry& entry);

    std::uint8_t Check() override { return Status; }
    // The plan's entries, removed; true when nothing of them is left.
    bool Clean() override;
    // One entry, as the tree's "删除" asks: only an entry of the plan is removed (false for any
    // other, which is left as it is).
    bool CleanFile(int index, bool recheck) override;
    bool CleanFolder(int index, bool recheck) override;
    bool CleanRegKey(int index, bool recheck) override;
    bool CleanRegValue(int index, bool recheck) override;
    bool CleanCheckFile(int, bool) override { return true; }
    bool CleanCheckValue(int, bool) override { return true; }

protected:
    explicit TPluginObj(CleanHost& host, std::uint8_t kind);
    // The class key and its InprocServer32 library; the name from the class key.
    void LoadClass(const std::wstring& classId);
    // A file the registration names: added (state 3 when it exists, 1 otherwise) and reported.
    void AddNamedFile(const std::wstring& path);
    void AddFoundKey(const std::wstring& path);
    void AddFoundValue(const std::wstring& path);

private:
    bool CleanPlanned(ItemList& list, int index);
};

class TBho final : public TPluginObj {
public:
    explicit TBho(CleanHost& host = DefaultCleanHost());
    void Load(const std::wstring& key) override;
    static const CleanClass Class;
};

class TIEToolBar final : public TPluginObj {
public:
    explicit TIEToolBar(CleanHost& host = DefaultCleanHost());
    void Load(const std::wstring& key) override;
    static const CleanClass Class;
};

class TMenuExt final : public TPluginObj {
public:
    explicit TMenuExt(CleanHost& host = DefaultCleanHost());
    void Load(const std::wstring& key) override;
    static const CleanClass Class;
};

class TIEToolButton final : public TPluginObj {
public:
    explicit TIEToolButton(CleanHost& host = DefaultCleanHost());
    void Load(const std::wstring& key) override;
    static const CleanClass Class;
};

class TExplorerBar final : public TPluginObj {
public:
    explicit TExplorerBar(CleanHost& host = DefaultCleanHost());
    void Load(const std::wstring& key) override;
    static const CleanClass Class;
};

// Where plug-ins of a kind are registered: the root (and its full name) and the key under it.
struct PluginRegistration {
    HKEY Root;
    const wchar_t* RootName;
    const wchar_t* Key;
};
// By kind (helper object 1, toolbar 2, context-menu entry 3, toolbar button 4, explorer bar 5);
// null for any other kind.
const PluginRegistration* RegistrationOf(std::uint8_t kind);

// The two class identifiers of toolbar buttons.
inline constexpr wchar_t kButtonOpensBar[] = L"{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}";
inline constexpr wchar_t kButtonRunsCommand[] = L"{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}";

}  // namespace tidemark
