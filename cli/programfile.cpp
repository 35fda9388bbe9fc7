#include "cli/programfile.h"

#include "image/objectfilereader.h"

ProgramFile ProgramFile::read(const QString &path)
{
    ProgramFile program;
    const ParsedObjectFile file = ObjectFileReader::read(path);
    if (!file.ok) {
        const QString line
            = file.errorLine > 0 ? QStringLiteral(" 第 %1 行:").arg(file.errorLine) : QString();
        program.refusal = QStringLiteral("文件不能打开! %1:%2 %3").arg(path, line, file.error);
        return program;
    }
    if (file.words.size() <= 1) {
        program.refusal = QStringLiteral("无数据! %1 只有 %2 个数, 至少要两个.")
                              .arg(path, QString::number(file.words.size()));
        return program;
    }
    program.image = std::make_unique<ProgramImage>();
    program.image->load(file.words);
    return program;
}
