#pragma once

// The guided bias session: two safety pages that must be acknowledged, the measurement steps of
// the chosen bias method, and how to read the results. It only instructs; it changes nothing.
#include <QWizard>

class BiasWizard : public QWizard
{
    Q_OBJECT

public:
    // `method` is a BiasMethod value; one outside the known methods adds no measurement page.
    explicit BiasWizard(int method, QWidget* parent = nullptr);
};
