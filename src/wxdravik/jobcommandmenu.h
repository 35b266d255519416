// The menu of the commands a job's product offers for that job.
#pragma once

#include <utility>

#include <boost/shared_ptr.hpp>
#include <wx/menu.h>

#include "draviklib/draviklib.h"
#include "wxdravik/wxdravikdefs.h"

/// A menu of a job's product commands. The host may append items of its own,
/// calls Fill before showing the menu and hands every selection to
/// TryCommand. A command with items becomes a submenu of them; an item or
/// item-less command whose text starts with "DISABLED:" is shown disabled.
/// The same command item keeps its id for the life of the menu.
class WXDRAVIK_API JobCommandMenu : public wxMenu
{
public:
    JobCommandMenu();

    /// Replaces the commands of the previous fill by those of the job's
    /// product whose flag word shares a bit with mask; an empty job leaves
    /// only the host's items.
    void Fill(const boost::shared_ptr<Job>& job, int mask);

    /// Runs the command of a menu id. False when the id is not one of this
    /// menu's command ids (the host handles it). An id this menu gave out
    /// that the current fill does not offer enabled (an older fill's, a
    /// disabled entry's, any id after a fill with an empty job) is consumed
    /// without running anything: true.
    bool TryCommand(long id);

protected:
    /// Adds one command: a separator, a single item or a submenu of items.
    void InsertCommand(const boost::shared_ptr<const Command>& command);
    /// Appends one check item for a command (item empty) or one of its items
    /// to menu; returns its id.
    long DoInsertCommand(wxMenu* menu, const String& name, const String& item, const String& help);

    /// Before a run; false ends the run (the selection still counts as handled).
    virtual bool PreProcessCommand(const String& name, const String& item);
    /// Runs the command on the job; failures are shown in a message box.
    virtual void DoProcessCommand(const String& name, const String& item);
    /// After a run.
    virtual void PostProcessCommand(const String& name, const String& item);

    /// The job of the last fill; empty before the first and after an empty one.
    const boost::shared_ptr<Job>& GetJob() const { return m_Job; }

private:
    /// Records what an id runs in the current fill; the first enabled entry
    /// of an id wins within one fill, a later fill replaces it.
    void _Record(long id, const String& name, const String& item, bool enabled);

    boost::shared_ptr<Job> m_Job;
    xolib::map<String, long> m_IdByKey;                            // never cleared: stable ids
    xolib::map<long, std::pair<String, String>> m_CommandById;     // never cleared
    int m_FirstCommandPos = -1;   // the host's item count at the first fill
    xolib::set<long> m_Shown;     // ids the current fill shows
    xolib::set<long> m_Runnable;  // ids the current fill shows enabled
};
