#include "wxdravik/jobcommandmenu.h"

#include <memory>

#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "wxdravik/wxdravikstring.h"
#include "xolib/log.h"

namespace
{
const String k_DisabledPrefix = "DISABLED:";

/// The key under which an entry's id is kept. The plain "name-label" form
/// would give command "A" item "B-C" and command "A-B" item "C" one id, so
/// selecting one could run the other; the kind mark and the name's length
/// keep every (name, label) pair apart.
String EntryKey(const String& name, const String& label, bool isItem)
{
    if (!isItem)
        return "=" + label;
    return SFormat("#%zu:", name.Length()) + name + "-" + label;
}

/// Farm texts are shown as they are: '&' would otherwise become a mnemonic
/// and a tab would turn the rest of the text into an accelerator. The
/// toolkit takes an empty label for a mistake, so an empty text shows blank.
wxString MenuLabel(const String& text)
{
    if (text.Empty())
        return " ";
    wxString label = wxsToWx(text);
    label.Replace("&", "&&");
    label.Replace("\t", " ");
    return label;
}
}

JobCommandMenu::JobCommandMenu() : wxMenu(0) {}

void JobCommandMenu::Fill(const boost::shared_ptr<Job>& job, int mask)
{
    if (job)
        LogDebug("JobCommandMenu being filled from: " + job->Name());
    else
        LogDebug("JobCommandMenu being set to empty job");

    if (m_FirstCommandPos < 0)
        m_FirstCommandPos = int(GetMenuItemCount());
    else
        while (int(GetMenuItemCount()) > m_FirstCommandPos)
            Destroy(FindItemByPosition(size_t(m_FirstCommandPos)));

    m_Job = job;
    m_Shown.clear();
    m_Runnable.clear();
    if (!m_Job)
        return;

    if (m_FirstCommandPos != 0)
        AppendSeparator();
    const boost::shared_ptr<const Product> product = JobFactory::s_JobFactory.GetProduct(m_Job->Type());
    if (!product)
        return;
    for (int i = 0; i < product->GetCommandCount(); ++i)
    {
        const boost::shared_ptr<const Command> command = product->GetCommand(i);
        if (command && (command->GetFlags() & mask) != 0)
            InsertCommand(command);
    }
}

bool JobCommandMenu::TryCommand(long id)
{
    const auto found = m_CommandById.find(id);
    if (found == m_CommandById.end())
        return false;
    // A late event for an entry the current fill does not offer must not run
    // on whatever job the menu holds now.
    if (!m_Job || m_Runnable.count(id) == 0)
    {
        LogDebug(SFormat("JobCommandMenu: id %ld is not offered now, nothing run", id));
        return true;
    }
    // Copies: the steps may refill the menu.
    const String name = found->second.first;
    const String item = found->second.second;
    if (!PreProcessCommand(name, item))
        return true;
    DoProcessCommand(name, item);
    PostProcessCommand(name, item);
    return true;
}

void JobCommandMenu::InsertCommand(const boost::shared_ptr<const Command>& command)
{
    if (command->GetFlags() < 0)
    {
        AppendSeparator();
        return;
    }
    const String& name = *command;
    const String items = command->Itemize(m_Job);
    if (items.Empty())
    {
        DoInsertCommand(this, name, String(), command->GetHelp());
        return;
    }
    auto submenu = std::make_unique<wxMenu>(0L);
    StringTokenizer tokens(items, ';', false, '"', '\\');
    while (tokens.HasMore())
        DoInsertCommand(submenu.get(), name, tokens.GetNext(), command->GetHelp());
    // Items that are only separators (";;") give no entry: offer the command itself.
    if (submenu->GetMenuItemCount() == 0)
    {
        DoInsertCommand(this, name, String(), command->GetHelp());
        return;
    }
    AppendSubMenu(submenu.release(), MenuLabel(name), wxsToWx(command->GetHelp()));
}

long JobCommandMenu::DoInsertCommand(wxMenu* menu, const String& name, const String& item, const String& help)
{
    const String& text = item.Empty() ? name : item;
    const bool disabled = text.StartsWith(k_DisabledPrefix);
    const String label = disabled ? text.RightFirst(":") : text;
    const String key = EntryKey(name, label, !item.Empty());

    auto stored = m_IdByKey.find(key);
    if (stored == m_IdByKey.end())
        stored = m_IdByKey.emplace(key, long(wxNewId())).first;
    const long id = stored->second;

    wxMenuItem* entry = menu->AppendCheckItem(int(id), MenuLabel(label), wxsToWx(help));
    entry->Enable(!disabled);
    _Record(id, name, item, !disabled);
    return id;
}

void JobCommandMenu::_Record(long id, const String& name, const String& item, bool enabled)
{
    const bool first = m_Shown.insert(id).second;
    if (!first && (!enabled || m_Runnable.count(id) != 0))
        return;
    m_CommandById[id] = std::make_pair(name, item);
    if (enabled)
        m_Runnable.insert(id);
}

bool JobCommandMenu::PreProcessCommand(const String& /*name*/, const String& /*item*/)
{
    return true;
}

void JobCommandMenu::DoProcessCommand(const String& name, const String& item)
{
    const boost::shared_ptr<Job> job = m_Job;  // kept alive even if a step refills the menu
    if (!job)
        return;
    try
    {
        job->ExecuteCommand(name, item);
    }
    catch (Exception* thrown)
    {
        const std::unique_ptr<Exception> error(thrown);
        wxString text = _("Unable to execute Job command: '") + wxsToWx(name) + "'\n" + wxsToWx(error->GetText());
        if (!error->GetDetail().Empty())
            text += "\n" + wxsToWx(error->GetDetail());
        wxMessageBox(text, _("DravikGui Error"), wxOK | wxCENTRE, nullptr);
    }
}

void JobCommandMenu::PostProcessCommand(const String& /*name*/, const String& /*item*/) {}
