#pragma once

namespace qor::platform {

// The first parameter of a constructor that only `Owner` may call. The constructor itself stays
// public so that std::make_shared reaches it, yet no one else can make the key: a class that
// must live in a shared_ptr (it hands itself to closures) is made only through its `make`.
template <class Owner>
class ConstructionKey {
    friend Owner;
    ConstructionKey() = default;
};

}  // namespace qor::platform
