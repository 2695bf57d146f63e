// The trinket's script face: the properties a script reads and sets by name.
// Every property link is a KvTrinketScriptLink naming one operation; values
// are decimal texts, read like atoi (but clamped, so no text overflows an
// int) and written with "%d" into the shared value buffer.
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "trinket/KvTrinket.h"

// A link to one script operation of one trinket. Retargeting (when the
// properties are copied for another trinket) points it at the new owner.
class KvTrinketScriptLink : public KvLink {
public:
    enum Op { setX, setY, setVisible, setMovable, setZ, setTouchy, setTag,
              getX, getY, getVisible, getMovable, getZ, getTouchy, getTag, getWidth, getHeight,
              place, offset };

    KvTrinketScriptLink(KvTrinket* t, Op o) : trinket(t), op(o) {}
    void operator()(const void* arg) const override { run(arg); }
    void call() const override { run(nullptr); }
    KvLink* clone() const override { return new KvTrinketScriptLink(*this); }
    // Targets arrive as the owner's KvScriptableObject address.
    void setTarget(void* object) override {
        trinket = object ? static_cast<KvTrinket*>(static_cast<KvScriptableObject*>(object)) : nullptr;
    }
    void* getTarget() const override { return static_cast<KvScriptableObject*>(trinket); }

private:
    static int number(const void* text) {
        if (!text) return 0;
        const long v = std::strtol(static_cast<const char*>(text), nullptr, 10);
        return static_cast<int>(v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : v);
    }
    static void print(const void* buffer, int value) {
        if (buffer) std::snprintf(KvScriptableObject::sobValueOut(buffer), kKvSobValueBufferSize, "%d", value);
    }

    void run(const void* arg) const {
        if (!trinket) return;
        KvTrinket& t = *trinket;
        switch (op) {
            case setX: t.trTouch(kTrPropX, number(arg), 0); break;
            case setY: t.trTouch(kTrPropY, number(arg), 0); break;
            case setVisible: t.trTouch(kTrPropVisible, number(arg), 0); break;
            case setMovable: t.trTouch(kTrPropMovable, number(arg), 0); break;
            case setZ: t.trTouch(kTrPropZ, number(arg), 0); break;
            case setTouchy: t.trTouch(kTrPropTouchy, number(arg), 0); break;
            case setTag: t.tag = number(arg); break;
            case getX: print(arg, t.trGetX()); break;
            case getY: print(arg, t.trGetY()); break;
            case getVisible: print(arg, t.trGetVisible()); break;
            case getMovable: print(arg, t.trGetMovable()); break;
            case getZ: print(arg, t.trGetZ()); break;
            case getTouchy: print(arg, t.trGetTouchy()); break;
            case getTag: print(arg, t.tag); break;
            case getWidth: print(arg, t.box().width()); break;
            case getHeight: print(arg, t.box().height()); break;
            case place: {
                const int x = number(KvScriptableObject::nextParameter());
                const int y = number(KvScriptableObject::nextParameter());
                t.trTouch(kTrPropXY, x, y);
                break;
            }
            case offset: {
                int dx = number(KvScriptableObject::nextParameter());
                int dy = number(KvScriptableObject::nextParameter());
                t.trOffset(dx, dy);
                break;
            }
        }
    }

    KvTrinket* trinket;
    Op op;
};

void KvTrinket::sobGetInfo(char* buffer) const {
    if (buffer) std::snprintf(buffer, kTrInfoBufferSize, "%d %d %d %d", trGetX(), trGetY(), box().right, box().bottom);
}

void KvTrinket::sobAssignProperties() {
    using L = KvTrinketScriptLink;
    for (const char* event : {sKvTMouseDown, sKvTMouseUp, sKvTDblClick, sKvTFlyOn, sKvTFlyOff})
        sobAddEventProperty(event);

    const L place(this, L::place), offset(this, L::offset);
    sobAddMethodProperty(sKvTPlace, &place);
    sobAddMethodProperty(sKvTOffset, &offset);

    struct Data {
        const char* name;
        L::Op set;
        L::Op get;
    };
    const Data data[] = {
        {sKvTX, L::setX, L::getX},
        {sKvTY, L::setY, L::getY},
        {sKvTVISIBLE, L::setVisible, L::getVisible},
        {sKvTMOVABLE, L::setMovable, L::getMovable},
        {sKvTZ, L::setZ, L::getZ},
        {sKvTTOUCHY, L::setTouchy, L::getTouchy},
        {sKvTTAG, L::setTag, L::getTag},
    };
    for (const Data& d : data) {
        const L setter(this, d.set), getter(this, d.get);
        sobAddDataProperty(d.name, &setter, &getter);
    }
    const L width(this, L::getWidth), height(this, L::getHeight);
    sobAddDataProperty(sKvTWIDTH, nullptr, &width);
    sobAddDataProperty(sKvTHEIGHT, nullptr, &height);
}
