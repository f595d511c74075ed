#include "DieActor.h"

#include "DieMesh.h"
#include "resources/ResourceLibrary.h"

#include <QFileInfo>

#include <cmath>
#include <numbers>

namespace dorvel::dice3d {

namespace {

    using Axis = std::array<double, 3>;

    // Sine and cosine with whole quarter turns exact, so the face table's right
    // angles leave the axes exactly on the world axes.
    void sinCos(double degrees, double &s, double &c)
    {
        const double quarters = degrees / 90.0;
        if (quarters == std::floor(quarters)) {
            static constexpr double sines[4] = { 0, 1, 0, -1 };
            const long q = static_cast<long>(std::fmod(quarters, 4.0));
            const std::size_t i = static_cast<std::size_t>((q % 4 + 4) % 4);
            s = sines[i];
            c = sines[(i + 1) % 4];
            return;
        }
        const double radians = degrees * std::numbers::pi / 180.0;
        s = std::sin(radians);
        c = std::cos(radians);
    }

    Vector3 toVector(const Axis &a)
    {
        return { static_cast<float>(a[0]), static_cast<float>(a[1]), static_cast<float>(a[2]) };
    }

    void normalize(Axis &a)
    {
        const double l = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
        if (l > 0.0) {
            for (double &v : a)
                v /= l;
        }
    }

    Axis crossAxes(const Axis &a, const Axis &b)
    {
        return { a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0] };
    }

} // namespace

DieActor::DieActor(int number, Vector3 position)
    : SceneObject(QStringLiteral("actWuerfel%1").arg(number), number, position,
        Vector3 { 0.015f, 0.015f, 0.015f }, QStringLiteral("wuerfel"))
{
}

DieActor::~DieActor() = default;

void DieActor::rotatePair(Axis &from, Axis &toward, double degrees)
{
    double s = 0.0;
    double c = 1.0;
    sinCos(degrees, s, c);
    const Axis a = from;
    const Axis b = toward;
    for (std::size_t i = 0; i < 3; ++i) {
        from[i] = a[i] * c + b[i] * s;
        toward[i] = b[i] * c - a[i] * s;
    }
}

void DieActor::rotated()
{
    // Keep the frame orthonormal: Direction, then Up square to it, then
    // right = Up × Direction.
    Axis &d = m_axes.direction;
    Axis &u = m_axes.up;
    normalize(d);
    const double along = u[0] * d[0] + u[1] * d[1] + u[2] * d[2];
    for (std::size_t i = 0; i < 3; ++i)
        u[i] -= along * d[i];
    normalize(u);
    m_axes.right = crossAxes(u, d);
    m_frame = { toVector(m_axes.right), toVector(m_axes.up), toVector(m_axes.direction) };
    notifyChanged();
}

void DieActor::setPitchAngle(float degrees)
{
    if (m_pitch == degrees)
        return;
    // About the right axis; a positive change turns Direction toward Up.
    rotatePair(m_axes.direction, m_axes.up, static_cast<double>(degrees) - m_pitch);
    m_pitch = degrees;
    rotated();
}

void DieActor::setTurnAngle(float degrees)
{
    if (m_turn == degrees)
        return;
    // About Up; a positive change turns Direction toward the right axis.
    rotatePair(m_axes.direction, m_axes.right, static_cast<double>(degrees) - m_turn);
    m_turn = degrees;
    rotated();
}

void DieActor::setRollAngle(float degrees)
{
    if (m_roll == degrees)
        return;
    // About Direction; a positive change turns the right axis toward Up.
    rotatePair(m_axes.right, m_axes.up, static_cast<double>(degrees) - m_roll);
    m_roll = degrees;
    rotated();
}

Matrix4 DieActor::modelMatrix() const
{
    const Vector3 &s = Scale();
    const Vector3 &p = Position();
    Matrix4 r;
    const Axis *columns[3] = { &m_axes.right, &m_axes.up, &m_axes.direction };
    const float scales[3] = { s.x, s.y, s.z };
    for (int column = 0; column < 3; ++column) {
        for (int row = 0; row < 3; ++row)
            r.at(row, column) = (*columns[column])[static_cast<std::size_t>(row)] * scales[column];
    }
    r.at(0, 3) = p.x;
    r.at(1, 3) = p.y;
    r.at(2, 3) = p.z;
    return r;
}

bool DieActor::LoadFromStream(const QString &fileName, resources::ResourceStream &stream)
{
    // The reader takes the data from its start, wherever the stream stands.
    const QByteArray extension = QFileInfo(fileName).suffix().toLatin1();
    setMesh(parseModel(stream.memory(), stream.size(),
        std::string_view(extension.constData(), static_cast<std::size_t>(extension.size()))));
    stream.seek(stream.size());
    return m_mesh != nullptr;
}

void DieActor::setMesh(std::shared_ptr<const DieMesh> mesh)
{
    m_mesh = std::move(mesh);
    notifyChanged();
}

} // namespace dorvel::dice3d
