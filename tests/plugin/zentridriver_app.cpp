// Loading is all the plug-in does with the extension library.
extern "C" int zentridriver_app_version()
{
    return 1;
}
