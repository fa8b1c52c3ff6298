// The native methods of corvane.proxyclient.util.GuiWrapper, as the Java runtime binds them.
#pragma once

#include <jni.h>

#ifdef __cplusplus
extern "C" {
#endif

// On 32-bit Windows the module definition file exports the natives under their decorated names
// only; elsewhere they are exported as declared.
#if defined(_WIN32) && !defined(_WIN64) && defined(CORV_BUILDING_JNIBRIDGE)
#define CORV_GUI_EXPORT
#else
#define CORV_GUI_EXPORT JNIEXPORT
#endif

#define CORV_GUI_NATIVE(name) \
    CORV_GUI_EXPORT void JNICALL Java_corvane_proxyclient_util_GuiWrapper_##name

CORV_GUI_NATIVE(setStatusBarW)(JNIEnv* env, jclass cls, jstring text);
CORV_GUI_NATIVE(dialogBoxW)(JNIEnv* env, jclass cls, jstring text);
CORV_GUI_NATIVE(bitrateW)(JNIEnv* env, jclass cls, jint value);
CORV_GUI_NATIVE(balloonInfoW)(JNIEnv* env, jclass cls, jstring title, jstring message);
CORV_GUI_NATIVE(balloonWarningW)(JNIEnv* env, jclass cls, jstring title, jstring message);
CORV_GUI_NATIVE(balloonErrorW)(JNIEnv* env, jclass cls, jstring title, jstring message);
CORV_GUI_NATIVE(enableMessengerProxyW)(JNIEnv* env, jclass cls);
CORV_GUI_NATIVE(disableMessengerProxyW)(JNIEnv* env, jclass cls);
CORV_GUI_NATIVE(setSipPortW)(JNIEnv* env, jclass cls, jint port);
CORV_GUI_NATIVE(setSocksPortW)(JNIEnv* env, jclass cls, jint port);

#undef CORV_GUI_NATIVE

#ifdef __cplusplus
}
#endif
