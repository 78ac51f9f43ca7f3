#include "engine/definition_store.h"

#include "engine/builtin_routines.h"
#include "engine/sealed_store.h"
#include "engine/sealed_text.h"
#include "engine/soft_obj.h"
#include "engine/store_keys.h"

namespace tidemark {

namespace {

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR context) {
    // Only named resources belong to the set; a numbered one has no name to derive a key from.
    if (!IS_INTRESOURCE(name)) reinterpret_cast<std::vector<std::wstring>*>(context)->push_back(name);
    return TRUE;
}

}  // namespace

std::vector<std::wstring> DefinitionResourceNames(HMODULE module) {
    std::vector<std::wstring> names;
    EnumResourceNamesW(module, L"V", CollectName, reinterpret_cast<LONG_PTR>(&names));
    return names;
}

std::optional<DefinitionLoadError> LoadDefinitions(HMODULE module, const CleanClass& cls,
                                                   std::vector<std::unique_ptr<TCleanObj>>& target,
                                                   CleanHost& host, BuiltInRoutine routine,
                                                   std::vector<Failure>* routineFailures) {
    for (const std::wstring& name : DefinitionResourceNames(module)) {
        const std::string key = DefinitionKey(name, kDefinitionKeySource);
        std::optional<TextList> lines = ReadSealedLines(module, L"V", name.c_str(), key);
        if (!lines) return DefinitionLoadError{name, std::nullopt};
        try {
            target.push_back(CreateCleanObject(cls, *lines, host));
        } catch (const DefinitionScriptFailure& failure) {
            return DefinitionLoadError{name, failure.Error};
        }
        if (!routine) continue;
        if (std::optional<std::wstring> why = routine(*target.back())) {
            if (routineFailures) routineFailures->push_back(Failure{name + L": " + *why, 0});
        }
    }
    return std::nullopt;
}

std::unique_ptr<DefinitionSet> DefinitionSet::Load(HMODULE module, CleanHost& host, DefinitionLoadError* error) {
    auto set = std::unique_ptr<DefinitionSet>(new DefinitionSet);
    if (auto failed = LoadDefinitions(module, TSoftObj::Class, set->items_, host, RunBuiltInRoutine,
                                      &set->routineFailures_)) {
        if (error) *error = std::move(*failed);
        return nullptr;
    }
    DefinitionSet* owner = set.get();
    for (std::size_t i = 0; i < set->items_.size(); ++i) {
        if (TSoftObj* definition = set->Definition(i)) {
            definition->FindById = [owner](const TSoftObj& asking, std::int32_t id) { return owner->FindById(&asking, id); };
        }
    }
    return set;
}

TSoftObj* DefinitionSet::Definition(std::size_t index) const {
    return index < items_.size() ? dynamic_cast<TSoftObj*>(items_[index].get()) : nullptr;
}

TSoftObj* DefinitionSet::FindById(const TSoftObj* asking, std::int32_t id) const {
    for (const auto& item : items_) {
        if (item->Id != id || item.get() == asking) continue;
        if (auto* definition = dynamic_cast<TSoftObj*>(item.get())) return definition;
    }
    return nullptr;
}

}  // namespace tidemark
