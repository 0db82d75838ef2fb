// Owner for jansson values: json_decref when the scope ends.
#pragma once

#include <jansson.h>

#include "base/UniqueResource.h"

namespace winhush {

namespace traits {
struct Json {
    using Value = json_t*;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { json_decref(v); }
};
}  // namespace traits

using UniqueJson = UniqueResource<traits::Json>;

}  // namespace winhush
