// Callback links. A link is a small callable object that is always held by
// clone: whoever stores a link keeps its own copy (clone()) and deletes it with
// plain delete. Every link can be called two ways: with an argument supplied
// by the caller, or with the argument stored in the link when it was made.
// A member link without an object does nothing, so a link may outlive the
// binding of its target until someone retargets it (setTarget).
#pragma once

#include <functional>
#include <utility>

class KvLink {
public:
    virtual ~KvLink() = default;
    // Call with an argument from the caller (an event record, a point, a buffer).
    virtual void operator()(const void* arg) const = 0;
    // Call with the argument stored in the link.
    virtual void call() const = 0;
    virtual KvLink* clone() const = 0;
    // The object a member link calls; function links have none and ignore this.
    virtual void setTarget(void* object) { (void)object; }
    virtual void* getTarget() const { return nullptr; }

    // Replace *slot by a clone of link (null clears it), deleting the old clone.
    static void assign(KvLink*& slot, const KvLink* link) {
        KvLink* copy = link ? link->clone() : nullptr;
        delete slot;
        slot = copy;
    }
};

// A link to a free function taking the argument.
class KvLinkToFct : public KvLink {
public:
    using Function = void (*)(const void*);

    explicit KvLinkToFct(Function f, const void* stored = nullptr) : fct(f), arg(stored) {}
    void operator()(const void* a) const override {
        if (fct) fct(a);
    }
    void call() const override {
        if (fct) fct(arg);
    }
    KvLink* clone() const override { return new KvLinkToFct(*this); }

private:
    Function fct;
    const void* arg;
};

// A link to a member function of T, with or without a const void* argument,
// const or not. Retargeting changes the object, keeping method and argument.
// Targets travel as void*: Target names the class whose address they carry
// (a base of T, such as the scriptable-object base that retargets property
// links), so the conversion is exact whatever T's layout.
template <class T, class Target = T>
class KvMemberLink : public KvLink {
public:
    using Method = void (T::*)(const void*);
    using MethodNoArg = void (T::*)();
    using ConstMethod = void (T::*)(const void*) const;
    using ConstMethodNoArg = void (T::*)() const;

    KvMemberLink(T* object, Method m, const void* stored = nullptr)
        : obj(object), withArg(m), arg(stored) {}
    KvMemberLink(T* object, MethodNoArg m, const void* stored = nullptr)
        : obj(object), noArg(m), arg(stored) {}
    KvMemberLink(T* object, ConstMethod m, const void* stored = nullptr)
        : obj(object), constWithArg(m), arg(stored) {}
    KvMemberLink(T* object, ConstMethodNoArg m, const void* stored = nullptr)
        : obj(object), constNoArg(m), arg(stored) {}

    void operator()(const void* a) const override { invoke(a); }
    void call() const override { invoke(arg); }
    KvLink* clone() const override { return new KvMemberLink(*this); }
    void setTarget(void* object) override {
        obj = object ? static_cast<T*>(static_cast<Target*>(object)) : nullptr;
    }
    void* getTarget() const override { return static_cast<Target*>(obj); }

private:
    void invoke(const void* a) const {
        if (!obj) return;
        if (withArg) (obj->*withArg)(a);
        else if (noArg) (obj->*noArg)();
        else if (constWithArg) (obj->*constWithArg)(a);
        else if (constNoArg) (obj->*constNoArg)();
    }

    T* obj;
    Method withArg = nullptr;
    MethodNoArg noArg = nullptr;
    ConstMethod constWithArg = nullptr;
    ConstMethodNoArg constNoArg = nullptr;
    const void* arg;
};

// A link to any callable, for hosts and tests. Its target is an opaque word
// that setTarget stores and getTarget returns; the callable does not see it.
class KvFunctionLink : public KvLink {
public:
    using Function = std::function<void(const void*)>;

    explicit KvFunctionLink(Function f, const void* stored = nullptr)
        : fct(std::move(f)), arg(stored) {}
    void operator()(const void* a) const override {
        if (fct) fct(a);
    }
    void call() const override {
        if (fct) fct(arg);
    }
    KvLink* clone() const override { return new KvFunctionLink(*this); }
    void setTarget(void* object) override { target = object; }
    void* getTarget() const override { return target; }

private:
    Function fct;
    const void* arg;
    void* target = nullptr;
};
