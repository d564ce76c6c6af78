// The document and its one command.
#include "halden_doc.h"

void CHaldenDoc::OnNewDocument()
{
    m_bMains = 1;
    emit UpdateAllViews();
}

void CHaldenDoc::OnOptionsMains()
{
    m_bMains = m_bMains ? 0 : 1;
    emit UpdateAllViews();
}
