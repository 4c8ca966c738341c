#pragma once
// HTTPOptionItemArray: the owned list of WinINet options handed to XHttpAccess, which only reads it.

#include "net/HTTPOptionItem.h"
#include "net/OwningArray.h"

namespace net
{

class HTTPOptionItemArray : public OwningArray<HTTPOptionItem>
{
};

}  // namespace net
