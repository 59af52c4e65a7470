#include "GLRenderContext.h"

#include "Exceptions.h"

#include <QOpenGLContext>

#include <algorithm>
#include <atomic>

namespace
{
std::uint64_t NewContextId()
{
    static std::atomic<std::uint64_t> lastId{0};
    return ++lastId;
}

void DeleteName(TGLNameKind kind, GLuint name)
{
    if (kind == nkTexture)
        glDeleteTextures(1, &name);
    else
        glDeleteLists(name, 1);
}
} // namespace

std::shared_ptr<TGLRenderContext> TGLRenderContext::Create(QOpenGLContext* context)
{
    return std::shared_ptr<TGLRenderContext>(new TGLRenderContext(context, NewContextId()));
}

TGLRenderContext::TGLRenderContext(QOpenGLContext* context, std::uint64_t id) : FId(id), FContext(context) {}

const TGLRenderContext::TLockArrays& TGLRenderContext::LockArrays()
{
    if (!FLockArraysResolved && IsCurrent())
    {
        FLockArraysResolved = true;
        if (FContext->hasExtension(QByteArrayLiteral("GL_EXT_compiled_vertex_array")))
        {
            FLockArrays.Lock = reinterpret_cast<void (*)(GLint, GLsizei)>(FContext->getProcAddress("glLockArraysEXT"));
            FLockArrays.Unlock = reinterpret_cast<void (*)()>(FContext->getProcAddress("glUnlockArraysEXT"));
            if (FLockArrays.Lock == nullptr || FLockArrays.Unlock == nullptr)
                FLockArrays = {};
        }
    }
    return FLockArrays;
}

const TGLRenderContext::TFences& TGLRenderContext::Fences()
{
    if (!FFencesResolved && IsCurrent())
    {
        FFencesResolved = true;
        if (FContext->hasExtension(QByteArrayLiteral("GL_ARB_sync")))
        {
            FFences.FenceSync = reinterpret_cast<decltype(FFences.FenceSync)>(FContext->getProcAddress("glFenceSync"));
            FFences.ClientWaitSync =
                reinterpret_cast<decltype(FFences.ClientWaitSync)>(FContext->getProcAddress("glClientWaitSync"));
            FFences.DeleteSync =
                reinterpret_cast<decltype(FFences.DeleteSync)>(FContext->getProcAddress("glDeleteSync"));
            if (!FFences.Available())
                FFences = {};
        }
    }
    return FFences;
}

bool TGLRenderContext::IsCurrent() const
{
    return FContext != nullptr && QOpenGLContext::currentContext() == FContext;
}

void TGLRenderContext::Release(TGLNameKind kind, GLuint name)
{
    if (name == 0)
        return;
    if (IsCurrent())
        DeleteName(kind, name);
    else
        (kind == nkTexture ? FPendingTextures : FPendingLists).push_back(name);
}

void TGLRenderContext::DeletePending()
{
    if (!FPendingTextures.empty())
        glDeleteTextures(static_cast<GLsizei>(FPendingTextures.size()), FPendingTextures.data());
    for (const GLuint list : FPendingLists)
        glDeleteLists(list, 1);
    FPendingTextures.clear();
    FPendingLists.clear();
}

// ------------------------------------------------------------ context names

void TGLContextNames::DropDeadContexts()
{
    FEntries.erase(std::remove_if(FEntries.begin(), FEntries.end(),
                                  [](const TEntry& entry) { return entry.Context.expired(); }),
                   FEntries.end());
}

TGLContextNames::TEntry& TGLContextNames::Acquire(TGLRenderContext& context)
{
    for (TEntry& entry : FEntries)
        if (entry.ContextId == context.Id())
            return entry;
    DropDeadContexts();
    GLuint name = 0;
    if (FKind == nkTexture)
        glGenTextures(1, &name);
    else
        name = glGenLists(1);
    if (name == 0)
        throw EOpenGLError(QStringLiteral("OpenGL gave no name for a new resource"));
    FEntries.push_back({context.weak_from_this(), context.Id(), name, 0});
    return FEntries.back();
}

GLuint TGLContextNames::CurrentName() const
{
    for (const TEntry& entry : FEntries)
        if (const std::shared_ptr<TGLRenderContext> context = entry.Context.lock(); context && context->IsCurrent())
            return entry.Name;
    return 0;
}

void TGLContextNames::ReleaseAll()
{
    for (const TEntry& entry : FEntries)
        if (const std::shared_ptr<TGLRenderContext> context = entry.Context.lock())
            context->Release(FKind, entry.Name);
    FEntries.clear();
}
