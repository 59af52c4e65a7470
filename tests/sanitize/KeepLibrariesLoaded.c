/* Preloaded into every process of the sanitized test run. Libraries are never
 * unloaded, so that a leak inside one (the OpenGL driver is unloaded when the
 * X connection closes) is reported under its file name, which the leak
 * suppressions can match, instead of an unknown module that nothing can. */
int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
