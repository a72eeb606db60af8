"""A silent speech server for Orca: every utterance goes, one a line, to the file named by
YOTENNA_SPEECH_LOG. Orca loads it as its speech server factory (user-settings.conf names it in
speechServerFactory), so the tests hear exactly what Orca would have said aloud."""

import os

from orca import speechserver


def _write(kind, text):
    path = os.environ.get("YOTENNA_SPEECH_LOG")
    if not path or text is None:
        return
    line = " ".join(str(text).split())
    if not line:
        return
    with open(path, "a", encoding="utf-8") as log:
        log.write("%s\t%s\n" % (kind, line))


class SpeechServer(speechserver.SpeechServer):
    _active = None

    @staticmethod
    def getFactoryName():
        return "yotenna speech log"

    @staticmethod
    def getSpeechServers():
        return [SpeechServer.getSpeechServer()]

    @staticmethod
    def getSpeechServer(info=None):
        if SpeechServer._active is None:
            SpeechServer._active = SpeechServer()
        return SpeechServer._active

    @staticmethod
    def shutdownActiveServers():
        SpeechServer._active = None

    def getInfo(self):
        return ["yotenna speech log", "log"]

    def getVoiceFamilies(self):
        return []

    def speak(self, text=None, acss=None, interrupt=True):
        _write("say", text)

    def speakCharacter(self, character, acss=None):
        _write("char", character)

    def speakKeyEvent(self, event, acss=None):
        _write("key", event.getKeyName())

    def sayAll(self, utteranceIterator, progressCallback):
        for context, _acss in utteranceIterator:
            _write("say", context.utterance)

    def stop(self):
        pass

    def shutdown(self):
        pass

    def reset(self, text=None, acss=None):
        pass

    def updateCapitalizationStyle(self):
        pass

    def updatePunctuationLevel(self):
        pass

    def increaseSpeechRate(self, step=5):
        pass

    def decreaseSpeechRate(self, step=5):
        pass

    def increaseSpeechPitch(self, step=0.5):
        pass

    def decreaseSpeechPitch(self, step=0.5):
        pass

    def increaseSpeechVolume(self, step=0.5):
        pass

    def decreaseSpeechVolume(self, step=0.5):
        pass
