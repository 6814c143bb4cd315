// Qt Quick Test of the certificate prompt in the real window against the reference server over
// https with a self-signed certificate made for the run.
#include "quickflowsetup.h"
#include "testcertificates.h"

#define QUICK_TEST_SOURCE_DIR TARNEX_SOURCE_DIR "/tests/qml/certificateflow"
#include <QtQuickTest/quicktest.h>

class CertificateFlowSetup : public QuickFlowSetup
{
public:
    CertificateFlowSetup() : QuickFlowSetup("certificateflow") {}

protected:
    QStringList serverArgsAtStart() override
    {
        TestCertificates::Pair pair;
        if (!m_certificates.makeSelfSigned(QStringLiteral("flow"), &pair))
            qFatal("openssl made no certificate: %s", qPrintable(m_certificates.output()));
        return {QStringLiteral("--tls-cert"), pair.certificate, QStringLiteral("--tls-key"),
                pair.key};
    }

private:
    TestCertificates m_certificates;
};

QUICK_TEST_MAIN_WITH_SETUP(certificateflow, CertificateFlowSetup)
