#include "ui/shell/freedesktopapplicationadaptor.h"

#include "ui/shell/applicationservice.h"

FreedesktopApplicationAdaptor::FreedesktopApplicationAdaptor(ApplicationService *service)
    : QDBusAbstractAdaptor(service), m_service(service)
{
}

void FreedesktopApplicationAdaptor::Activate(const QVariantMap &platform_data)
{
    m_service->activate(platform_data);
}

void FreedesktopApplicationAdaptor::Open(const QStringList &uris, const QVariantMap &platform_data)
{
    m_service->open(uris, platform_data);
}

void FreedesktopApplicationAdaptor::ActivateAction(const QString &action_name, const QVariantList &parameter,
                                                   const QVariantMap &platform_data)
{
    m_service->activateAction(action_name, parameter, platform_data);
}
