#pragma once
// Run-time class information of the storage classes: the class name, the schema number written for
// serializable classes (0xFFFF for the others) and, for record classes, a factory of a default instance.

#include <cstdint>

namespace storage
{

class XStorageObject;

struct RuntimeClass
{
    const char* className;
    std::uint32_t schema;
    XStorageObject* (*create)();  // null for classes that cannot be created by name
};

inline constexpr std::uint32_t kNotSerializable = 0xFFFF;

}  // namespace storage
