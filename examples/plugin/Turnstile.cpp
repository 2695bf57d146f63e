// Example plug-in class library "Turnstile.lrn": the class "Turnstile".
//
// Script view:
//   data   "count"  read-only: turns so far
//   data   "limit"  read and write: turns until the turnstile is full
//   method "turn"   optional parameter: how many turns (default 1)
//   method "reset"  count back to 0
//   event  "full"   passed by push() when the count reaches the limit
// Creation parameter: the limit (default 3), e.g. `KvScriptableObject::create(
// "Turnstile", "5", KvScriptableObject::kKvEndOfParameters)`.
#include "sob/QrnPlugin.h"

#include <cstdio>
#include <cstdlib>

namespace {
class Turnstile : public KvScriptableObject {
public:
    // The factory runs this with the creation parameters ready to read.
    Turnstile() {
        const char* limitText = nextParameter();
        limit = *limitText ? std::atoi(limitText) : 3;
    }

    KvScriptableObject* copy() const override {
        Turnstile* twin = new Turnstile(count, limit);
        sobClone(twin);  // copies the properties, retargeting their links at twin
        return twin;
    }

    void sobAssignProperties() override {
        const KvMemberLink<Turnstile> getCount(this, &Turnstile::getCount);
        const KvMemberLink<Turnstile> setLimit(this, &Turnstile::setLimit);
        const KvMemberLink<Turnstile> getLimit(this, &Turnstile::getLimit);
        const KvMemberLink<Turnstile> turn(this, &Turnstile::turn);
        const KvMemberLink<Turnstile> reset(this, &Turnstile::reset);
        sobAddDataProperty("count", nullptr, &getCount);
        sobAddDataProperty("limit", &setLimit, &getLimit);
        sobAddMethodProperty("turn", &turn);
        sobAddMethodProperty("reset", &reset);
        sobAddEventProperty("full");
    }

    // Called by the host's own code (an input handler, a task). Events are
    // announced from such callbacks: one passed while a script's set or play
    // call runs would be dropped.
    void push() {
        turn();
        if (count >= limit) sobPass("full");
    }

private:
    Turnstile(int c, int l) : count(c), limit(l) {}

    void getCount(const void* buffer) const {
        std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%d", count);
    }
    void setLimit(const void* value) { limit = std::atoi(static_cast<const char*>(value)); }
    void getLimit(const void* buffer) const {
        std::snprintf(sobValueOut(buffer), kKvSobValueBufferSize, "%d", limit);
    }
    void turn() {
        const char* step = nextParameter();  // "" when the caller gave none
        count += *step ? std::atoi(step) : 1;
    }
    void reset() { count = 0; }

    int count = 0;
    int limit = 3;
};

// Registers "Turnstile" while the library loads; leaves when it is released.
KvSR turnstileRecord("Turnstile", KvSRFactory<Turnstile>);
}  // namespace
