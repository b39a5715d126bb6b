#pragma once

#include <QObject>

namespace orvex {

class TOrvex;

// New Project, Rename Project and Delete Project.
class ProjectCommands : public QObject
{
    Q_OBJECT
public:
    explicit ProjectCommands(TOrvex& window);
    void Connect();

    void NewProject();
    void RenameProject();
    void DeleteProject();

private:
    TOrvex& window_;
    bool dialogOpen_ = false; // New and Rename share one dialog at a time
};

} // namespace orvex
