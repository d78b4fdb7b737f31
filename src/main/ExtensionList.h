#pragma once

#include <cstring>

// Whether `name` is one of the space-separated tokens of `list`. A plain substring
// search would take GLX_EXT_swap_control_tear for GLX_EXT_swap_control.
inline bool extensionListed(const char* list, const char* name)
{
    if (!list || !name || !*name)
        return false;
    const std::size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at; at = std::strstr(at + 1, name)) {
        const bool startsToken = at == list || at[-1] == ' ';
        const bool endsToken = at[length] == ' ' || at[length] == '\0';
        if (startsToken && endsToken)
            return true;
    }
    return false;
}
