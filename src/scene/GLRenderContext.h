#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <vector>

class QOpenGLContext;

enum TGLNameKind
{
    nkTexture,
    nkList,
};

// A rendering context as the resources made in it know it. Its id is never
// given to another context, so a context made where a destroyed one stood,
// even at the same address, is told apart and gets names of its own. Names
// released while another context is current wait here until this one is; they
// are dropped with it when it goes first.
class TGLRenderContext : public std::enable_shared_from_this<TGLRenderContext>
{
public:
    // The owner destroys the result before `context`.
    static std::shared_ptr<TGLRenderContext> Create(QOpenGLContext* context);

    TGLRenderContext(const TGLRenderContext&) = delete;
    TGLRenderContext& operator=(const TGLRenderContext&) = delete;

    std::uint64_t Id() const { return FId; }
    QOpenGLContext* Context() const { return FContext; }
    bool IsCurrent() const;
    // Deletes the name now when this context is current, else when it next is.
    void Release(TGLNameKind kind, GLuint name);
    // Deletes the names released while the context was not current; called
    // with the context current.
    void DeletePending();
    int PendingCount() const { return static_cast<int>(FPendingTextures.size() + FPendingLists.size()); }

    // The compiled-vertex-array entry points, or nullptr when the context
    // lacks the extension; looked up once, with the context current.
    struct TLockArrays
    {
        void (*Lock)(GLint first, GLsizei count) = nullptr;
        void (*Unlock)() = nullptr;
    };
    const TLockArrays& LockArrays();

    // The fence entry points, or nullptr when the context lacks them; looked
    // up once, with the context current.
    struct TFences
    {
        PFNGLFENCESYNCPROC FenceSync = nullptr;
        PFNGLCLIENTWAITSYNCPROC ClientWaitSync = nullptr;
        PFNGLDELETESYNCPROC DeleteSync = nullptr;
        bool Available() const { return FenceSync != nullptr && ClientWaitSync != nullptr && DeleteSync != nullptr; }
    };
    const TFences& Fences();

private:
    TGLRenderContext(QOpenGLContext* context, std::uint64_t id);

    const std::uint64_t FId;
    QOpenGLContext* const FContext;
    std::vector<GLuint> FPendingTextures;
    std::vector<GLuint> FPendingLists;
    TLockArrays FLockArrays;
    bool FLockArraysResolved = false;
    TFences FFences;
    bool FFencesResolved = false;
};

// The names one resource (a texture, a display list) has in each rendering
// context that drew it: the viewers' contexts share no names. Each entry
// remembers the revision of the resource it was last filled from, so that a
// change is taken into every context once. Entries of contexts that are gone
// are dropped, their names having gone with them.
class TGLContextNames
{
public:
    struct TEntry
    {
        std::weak_ptr<TGLRenderContext> Context;
        std::uint64_t ContextId = 0;
        GLuint Name = 0;
        // What the name was last filled from; 0 when it never was.
        unsigned Revision = 0;
    };

    explicit TGLContextNames(TGLNameKind kind) : FKind(kind) {}
    ~TGLContextNames() { ReleaseAll(); }
    TGLContextNames(const TGLContextNames&) = delete;
    TGLContextNames& operator=(const TGLContextNames&) = delete;

    // The entry of `context`, with a new name when it had none; the context
    // must be current.
    TEntry& Acquire(TGLRenderContext& context);
    // The name in the context current now; 0 when there is none.
    GLuint CurrentName() const;
    // Gives every name back to its context.
    void ReleaseAll();

private:
    void DropDeadContexts();

    const TGLNameKind FKind;
    std::vector<TEntry> FEntries;
};
