// The two keys of the data the program carries enciphered. Each is written here and nowhere else.
#pragma once

namespace tidemark {

// Every enciphered "FILE" resource; only its first 8 characters take part in the cipher.
inline constexpr char kFixedStoreKey[] = "plumed.1994.11.07";

// The text the per-definition keys are cut from (DefinitionKey): a braced upper-case GUID of
// our own. Changing it makes every packed definition unreadable, so packer and reader share it.
inline constexpr char kDefinitionKeySource[] = "{6B1E7C42-93DA-4F0E-8A57-2C9D41B3E06F}";

}  // namespace tidemark
