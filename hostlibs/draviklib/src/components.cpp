#include "draviklib/draviklib.h"

namespace
{
const char* const k_ComponentNames[Components::k_Count] = {
    "DravikMonitor", "DravikMaster", "DravikEngine", "DravikSubmit", "DravikConfig", "DravikTray", "DravikDemo",
};
}

String Components::GetName(int index)
{
    if (index < 0 || index >= k_Count)
        return String();
    return k_ComponentNames[index];
}

bool Components::DidStart(const String& name)
{
    return !name.Empty() && Application::IsListeningProgram(name);
}
