/* The example's DLL. */
__declspec(dllexport) const char* greeting(void) {
    return "hello from greet.dll";
}
