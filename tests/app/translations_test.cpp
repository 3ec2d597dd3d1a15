// The dialog's English catalogue translates every text of the code: the
// committed catalogue is brought up to date with the code in a copy, as
// the update_translations target would, and no message may then be new
// (unfinished), gone from the code (vanished or obsolete), or translated
// into text that still holds Chinese. The catalogue built into the
// program gives the same translations.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

#include "app_test_support.h"

namespace {

struct Message {
  QString context, source, translation, type;
};

std::vector<Message> ReadCatalogue(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    qFatal("cannot read %s", qPrintable(path));
  std::vector<Message> messages;
  QString context;
  QXmlStreamReader xml(&file);
  while (!xml.atEnd()) {
    if (xml.readNext() != QXmlStreamReader::StartElement)
      continue;
    if (xml.name() == u"name") {
      context = xml.readElementText();
    } else if (xml.name() == u"source") {
      messages.push_back(Message{context, xml.readElementText(), {}, {}});
    } else if (xml.name() == u"translation" && !messages.empty()) {
      messages.back().type = xml.attributes().value(QLatin1String("type")).toString();
      messages.back().translation = xml.readElementText();
    }
  }
  if (xml.hasError())
    qFatal("%s: %s", qPrintable(path), qPrintable(xml.errorString()));
  return messages;
}

bool HoldsChinese(const QString& text) {
  static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
  return text.contains(cjk);
}

}  // namespace

class TranslationsTest : public QObject {
  Q_OBJECT

 private slots:
  void everyTextOfTheDialogIsTranslated() {
    QTemporaryDir work;
    QVERIFY(work.isValid());
    const QString copy = work.filePath(QStringLiteral("quillmark_en.ts"));
    QVERIFY(QFile::copy(QStringLiteral(QUILLMARK_CATALOGUE), copy));
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::MergedChannels);
    lupdate.start(
        QStringLiteral(QUILLMARK_LUPDATE),
        {"-silent", "-locations", "none", QStringLiteral(QUILLMARK_APP_SOURCES), "-ts", copy});
    QVERIFY(lupdate.waitForFinished(60000));
    const QString said = QString::fromUtf8(lupdate.readAll());
    QVERIFY2(lupdate.exitCode() == 0 && said.isEmpty(), qPrintable(said));

    QTranslator built;
    QVERIFY(built.load(QStringLiteral(":/i18n/quillmark_en.qm")));
    const std::vector<Message> messages = ReadCatalogue(copy);
    QVERIFY(!messages.empty());
    for (const Message& message : messages) {
      const QString what = message.context + QLatin1Char(' ') + message.source;
      QVERIFY2(message.type.isEmpty(), qPrintable(message.type + QLatin1Char(' ') + what));
      QVERIFY2(!message.translation.isEmpty(), qPrintable(what));
      QVERIFY2(!HoldsChinese(message.translation), qPrintable(what));
      QCOMPARE(built.translate(message.context.toUtf8().constData(),
                               message.source.toUtf8().constData()),
               message.translation);
    }
  }
};

QUILLMARK_APP_TEST_MAIN(TranslationsTest)
#include "translations_test.moc"
